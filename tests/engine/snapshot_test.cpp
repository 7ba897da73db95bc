// GetSnapshot: what the metrics listener reads while the sampling thread samples.

#include "tests/engine/monitor_test_support.h"

#include <atomic>
#include <numeric>
#include <thread>

namespace quel::test {
namespace {

using SnapshotTest = MonitorTest;

std::vector<double> Ramp(int count)
{
    std::vector<double> values(static_cast<std::size_t>(count));
    std::iota(values.begin(), values.end(), 0.0);
    return values;
}

TEST_F(SnapshotTest, BeforeSamplingItDescribesTheAxesButHoldsNoSample)
{
    ASSERT_TRUE(monitor->AddAxis("Disk \"used\"", "", 0, 10, 100, 80, 1, std::make_unique<CounterPathData>("\\\\web01\\LogicalDisk(/)\\% Free Space")));
    ASSERT_TRUE(monitor->SetAxisInverse(0, 1));
    MonitorSnapshot snapshot;
    monitor->GetSnapshot(snapshot);
    ASSERT_EQ(snapshot.axes.size(), 1u);
    EXPECT_EQ(snapshot.axes[0].name, "Disk \"used\"");
    EXPECT_EQ(snapshot.axes[0].path, "\\\\web01\\LogicalDisk(/)\\% Free Space");
    EXPECT_EQ(snapshot.axes[0].minValue, 10);
    EXPECT_EQ(snapshot.axes[0].maxValue, 100);
    EXPECT_EQ(snapshot.axes[0].criticalValue, 80);
    EXPECT_TRUE(snapshot.axes[0].inverse);
    EXPECT_FALSE(snapshot.hasSample);
    EXPECT_FALSE(snapshot.axes[0].hasCurrent);
    EXPECT_EQ(snapshot.samplesTotal, 0u);
    EXPECT_EQ(snapshot.lastSampleTime, 0);
}

// At exactly the critical value the page (like the log and the alert rules) says critical while
// the diagram does not yet; on a scaled and on an inverse axis alike.
TEST_F(SnapshotTest, AtTheCriticalValueThePageAgreesWithTheRulesAndTheDiagramWaits)
{
    source.ScriptValues("\\A\\plain", {0, 80, 79.5});
    source.ScriptValues("\\A\\scaled", {0, 1024.0 * 80, 1024.0 * 79.5});
    source.ScriptValues("\\A\\inverse", {0, 20, 20.5});  // 100 - 20 = 80
    AddAxis("\\A\\plain");
    AddAxis("\\A\\scaled", 100, 80, 1024);
    AddAxis("\\A\\inverse");
    ASSERT_TRUE(monitor->SetAxisInverse(2, 1));
    source.PauseAtCollection(2);
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(source.WaitUntilPaused());

    MonitorSnapshot snapshot;
    monitor->GetSnapshot(snapshot);
    for (int axis = 0; axis < 3; ++axis) {
        int state = NoData;
        ASSERT_TRUE(monitor->GetValueState(axis, state, SeriesCurrent));
        EXPECT_EQ(state, Normal) << axis;
        EXPECT_TRUE(snapshot.axes[static_cast<std::size_t>(axis)].critical) << axis;
    }
    source.PauseAtCollection(3);
    ASSERT_TRUE(source.WaitUntilPaused());
    monitor->GetSnapshot(snapshot);
    for (const AxisSnapshot& axis : snapshot.axes)
        EXPECT_FALSE(axis.critical) << axis.path;
    source.Resume();
    ASSERT_TRUE(monitor->StopSampling());
}

TEST_F(SnapshotTest, RawValuesCriticalStateAndTotalsOfTheLastSample)
{
    // Raw 90 KiB on a 1024 multiplier is 90 scaled, above the critical 80; then a failed read.
    source.Script("\\A\\x", {{perf_status::Ok, 0}, {perf_status::Ok, 1024.0 * 90}, {perf_status::Ok, 1024.0 * 10},
                             ScriptedSource::Fail()});
    source.ScriptValues("\\A\\y", {0, 5, 6, 7});
    AddAxis("\\A\\x", 100, 80, 1024);
    AddAxis("\\A\\y");
    clock.SetNow(1'700'000'123);
    source.PauseAtCollection(2);
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(source.WaitUntilPaused());

    MonitorSnapshot snapshot;
    monitor->GetSnapshot(snapshot);
    ASSERT_TRUE(snapshot.hasSample);
    EXPECT_EQ(snapshot.samplesTotal, 1u);
    EXPECT_EQ(snapshot.lastSampleTime, 1'700'000'123);
    EXPECT_TRUE(snapshot.axes[0].hasCurrent);
    EXPECT_DOUBLE_EQ(snapshot.axes[0].current, 1024.0 * 90);  // raw, not scaled
    EXPECT_TRUE(snapshot.axes[0].critical);
    EXPECT_FALSE(snapshot.axes[1].critical);

    source.PauseAtCollection(4);
    ASSERT_TRUE(source.WaitUntilPaused());
    monitor->GetSnapshot(snapshot);
    EXPECT_EQ(snapshot.samplesTotal, 3u);
    EXPECT_EQ(snapshot.failedReadsTotal, 1u);
    EXPECT_FALSE(snapshot.axes[0].hasCurrent);
    EXPECT_FALSE(snapshot.axes[0].critical);
    EXPECT_DOUBLE_EQ(snapshot.axes[0].maximum, 1024.0 * 90);
    EXPECT_DOUBLE_EQ(snapshot.axes[0].average, 1024.0 * 50);  // of 90 and 10: a failure leaves it
    EXPECT_DOUBLE_EQ(snapshot.axes[1].current, 7);
    source.Resume();

    // Stopping ends the sample, not the totals (the thread may take one more sample first).
    ASSERT_TRUE(monitor->StopSampling());
    monitor->GetSnapshot(snapshot);
    EXPECT_FALSE(snapshot.hasSample);
    EXPECT_GE(snapshot.samplesTotal, 3u);
    EXPECT_GE(snapshot.failedReadsTotal, 1u);
}

// Collection k reads k on every axis, so a snapshot of one finished sample has all axes equal
// to its sample number. Reading the live statistics instead sees axes of two samples.
TEST_F(SnapshotTest, AReaderNeverSeesASampleHalfTaken)
{
    constexpr int Axes = 8;
    constexpr int Samples = 300;
    for (int i = 0; i < Axes; ++i) {
        const std::string path = "\\A\\x" + std::to_string(i);
        source.ScriptValues(path, Ramp(Samples + 1));
        AddAxis(path, 1000, 900);
    }
    std::atomic<bool> done {false};
    std::atomic<int> torn {0};
    std::atomic<int> seen {0};
    std::thread reader([&] {
        MonitorSnapshot snapshot;
        while (!done) {
            monitor->GetSnapshot(snapshot);
            if (!snapshot.hasSample || snapshot.samplesTotal > Samples)
                continue;
            ++seen;
            for (const AxisSnapshot& axis : snapshot.axes) {
                if (axis.current != static_cast<double>(snapshot.samplesTotal))
                    ++torn;
            }
        }
    });
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));  // the fake clock runs the samples fast
    EXPECT_TRUE(WaitForCurrent(0, Samples));
    done = true;
    reader.join();
    EXPECT_GT(seen.load(), 0);
    EXPECT_EQ(torn.load(), 0);
}

} // namespace
} // namespace quel::test
