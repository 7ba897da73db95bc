// The sampling thread: timing, statistics, failures and the start/stop state machine.

#include "engine/sampling_control.h"
#include "tests/engine/monitor_test_support.h"

#include <numeric>
#include <thread>

namespace quel::test {
namespace {

std::vector<double> Ramp(int count, double first = 1)
{
    std::vector<double> values(static_cast<std::size_t>(count));
    std::iota(values.begin(), values.end(), first);
    return values;
}

using SamplingTest = MonitorTest;

TEST_F(SamplingTest, PrimesThenSamplesAfterOnePollThenEveryInterval)
{
    MonitorSettings settings = monitor->GetSettings();
    settings.Interval = 2;
    monitor->ApplySettings(settings);
    source.ScriptValues("\\A\\x", {0, 1, 2, 3});
    AddAxis("\\A\\x");
    CountingRepaint repaint;

    ASSERT_TRUE(monitor->StartSampling(&repaint, false));
    ASSERT_TRUE(WaitForCurrent(0, 3));
    ASSERT_TRUE(monitor->StopSampling());

    const std::vector<std::uint32_t> ticks = source.CollectionTicks();
    ASSERT_GE(ticks.size(), 4u);
    EXPECT_EQ(ticks[1] - ticks[0], 100u);   // the priming collection, then the first sample
    EXPECT_EQ(ticks[2] - ticks[1], 2100u);  // the first poll with more than 2 s elapsed
    EXPECT_EQ(ticks[3] - ticks[2], 2100u);
    EXPECT_GE(repaint.count.load(), 3);
}

TEST_F(SamplingTest, RequestSampleSamplesAtTheNextPoll)
{
    MonitorSettings settings = monitor->GetSettings();
    settings.Interval = 120;
    monitor->ApplySettings(settings);
    source.ScriptValues("\\A\\x", {0, 1, 2});
    AddAxis("\\A\\x");
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(WaitForCurrent(0, 1));
    monitor->RequestSample();
    ASSERT_TRUE(WaitForCurrent(0, 2));
    const std::vector<std::uint32_t> ticks = source.CollectionTicks();
    EXPECT_LT(ticks[2] - ticks[1], 120000u);
}

TEST_F(SamplingTest, AverageCoversSamplesTakenUntilHistoryThenTheLastHistory)
{
    source.ScriptValues("\\A\\x", Ramp(40, 0));  // collection k reads k
    AddAxis("\\A\\x", 1000, 900);
    source.PauseAtCollection(4);
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(source.WaitUntilPaused());
    EXPECT_DOUBLE_EQ(StatsOf(0).average, 2.0);  // (1 + 2 + 3) / 3
    EXPECT_DOUBLE_EQ(Cell(0, SeriesAverage), 2.0);
    source.Resume();

    source.PauseAtCollection(32);
    ASSERT_TRUE(source.WaitUntilPaused());
    EXPECT_DOUBLE_EQ(StatsOf(0).current, 31.0);
    EXPECT_DOUBLE_EQ(StatsOf(0).average, 16.5);  // mean of 2..31, the last 30
    EXPECT_DOUBLE_EQ(StatsOf(0).maximum, 31.0);
    source.Resume();
}

TEST_F(SamplingTest, ChangingHistoryRestartsTheAverageAtTheNextSample)
{
    source.ScriptValues("\\A\\x", Ramp(40, 0));
    AddAxis("\\A\\x", 1000, 900);
    source.PauseAtCollection(21);  // 20 samples taken, the 21st waits
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(source.WaitUntilPaused());
    EXPECT_DOUBLE_EQ(StatsOf(0).average, 10.5);
    MonitorSettings settings = monitor->GetSettings();
    settings.History = 10;
    monitor->ApplySettings(settings);
    EXPECT_TRUE(monitor->IsModified());
    source.PauseAtCollection(22);
    ASSERT_TRUE(source.WaitUntilPaused());
    EXPECT_DOUBLE_EQ(StatsOf(0).average, 21.0);  // the average starts again with sample 21
    source.PauseAtCollection(23);
    ASSERT_TRUE(source.WaitUntilPaused());
    EXPECT_DOUBLE_EQ(StatsOf(0).average, 21.5);
    source.Resume();
}

TEST_F(SamplingTest, FailedReadsShowNoDataKeepTheMaximumAndMarkCurrent)
{
    source.Script("\\A\\x", {{perf_status::Ok, 0}, {perf_status::Ok, 60}, ScriptedSource::Fail()});
    AddAxis("\\A\\x");
    source.PauseAtCollection(3);
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(source.WaitUntilPaused());

    const Stats stats = StatsOf(0);
    EXPECT_DOUBLE_EQ(stats.current, -1.0);
    EXPECT_DOUBLE_EQ(stats.maximum, 60.0);
    for (int series : {SeriesMax, SeriesAverage, SeriesCurrent}) {
        EXPECT_EQ(State(0, series), NoData) << series;
        EXPECT_DOUBLE_EQ(Cell(0, series), 0.0) << series;
    }
    source.Resume();
}

TEST_F(SamplingTest, ValuesAreScaledAndMarkedCriticalInAllThreeSeries)
{
    source.ScriptValues("\\A\\x", {0, 1024.0 * 90, 1024.0 * 10});
    AddAxis("\\A\\x", 100, 80, 1024);
    source.PauseAtCollection(2);
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(source.WaitUntilPaused());
    EXPECT_DOUBLE_EQ(Cell(0, SeriesCurrent), 90.0);
    EXPECT_EQ(State(0, SeriesCurrent), Critical);
    source.PauseAtCollection(3);
    ASSERT_TRUE(source.WaitUntilPaused());
    EXPECT_DOUBLE_EQ(Cell(0, SeriesCurrent), 10.0);
    EXPECT_EQ(State(0, SeriesCurrent), Normal);
    EXPECT_DOUBLE_EQ(Cell(0, SeriesMax), 90.0);
    EXPECT_EQ(State(0, SeriesMax), Critical);
    EXPECT_DOUBLE_EQ(Cell(0, SeriesAverage), 50.0);
    source.Resume();
}

TEST_F(SamplingTest, AllNegativeValuesKeepTheMaximumAtZero)
{
    source.ScriptValues("\\A\\x", {0, -5, -3, -8});
    AddAxis("\\A\\x");
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(WaitForCurrent(0, -8));
    EXPECT_DOUBLE_EQ(StatsOf(0).maximum, 0.0);
}

TEST_F(SamplingTest, StoppingEndsStatisticsWithNoDataEverywhere)
{
    source.ScriptValues("\\A\\x", {0, 5});
    AddAxis("\\A\\x");
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(WaitForCurrent(0, 5));
    ASSERT_TRUE(monitor->StopSampling());
    double current = 0, maximum = 0, average = 0;
    EXPECT_FALSE(monitor->GetStatistics(0, current, maximum, average));
    EXPECT_EQ(State(0, SeriesCurrent), NoData);
    EXPECT_EQ(source.OpenCounters(), 0);
    EXPECT_EQ(source.OpenQueries(), 0);
}

TEST_F(SamplingTest, ResetMaxValuesShowsTheCurrentValueAndRestartsTheMaximum)
{
    source.ScriptValues("\\A\\x", {0, 90, 10, 20});
    AddAxis("\\A\\x");
    source.PauseAtCollection(3);
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(source.WaitUntilPaused());
    ASSERT_DOUBLE_EQ(StatsOf(0).maximum, 90.0);
    ASSERT_EQ(State(0, SeriesMax), Critical);

    monitor->ResetMaxValues();
    EXPECT_DOUBLE_EQ(Cell(0, SeriesMax), 10.0);
    EXPECT_EQ(State(0, SeriesMax), Critical);  // the state it had before
    EXPECT_DOUBLE_EQ(StatsOf(0).maximum, 0.0);
    source.PauseAtCollection(4);
    ASSERT_TRUE(source.WaitUntilPaused());
    EXPECT_DOUBLE_EQ(StatsOf(0).maximum, 20.0);
    source.Resume();
}

TEST_F(SamplingTest, OnlyOneStartAtATimeAndStopWhenIdleSucceeds)
{
    EXPECT_TRUE(monitor->StopSampling());
    source.ScriptValues("\\A\\x", {0, 1});
    AddAxis("\\A\\x");
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    EXPECT_FALSE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(WaitFor([&] { return monitor->StopSampling(); }));
    EXPECT_TRUE(monitor->StopSampling());
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));  // a stopped monitor starts again
    ASSERT_TRUE(WaitForCurrent(0, 1));
}

TEST_F(SamplingTest, StopWhileStartingFailsWithoutWaiting)
{
    SamplingControl& control = SamplingControl::Instance();
    {
        std::lock_guard guard(control.lock);
        control.running = true;
        control.starting = true;
    }
    EXPECT_FALSE(monitor->StopSampling());
    std::lock_guard guard(control.lock);
    control.running = false;
    control.starting = false;
}

TEST_F(SamplingTest, StopGivesUpAfterFiveSecondsAndALaterStopSucceeds)
{
    source.ScriptValues("\\A\\x", {0, 1, 2});
    AddAxis("\\A\\x");
    source.PauseAtCollection(2);  // the collection hangs like an unreachable computer
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(source.WaitUntilPaused());

    const std::uint32_t before = clock.TickCount();
    EXPECT_FALSE(monitor->StopSampling());
    EXPECT_GT(clock.TickCount() - before, 5000u);
    EXPECT_FALSE(monitor->StopSampling());             // still stopping
    EXPECT_FALSE(monitor->StartSampling(nullptr, false));

    source.Resume();
    EXPECT_TRUE(WaitFor([&] { return monitor->StopSampling(); }));
}

TEST_F(SamplingTest, AStopWithItsOwnTimeLimitGivesUpWhenThatHasPassed)
{
    source.ScriptValues("\\A\\x", {0, 1, 2});
    AddAxis("\\A\\x");
    source.PauseAtCollection(2);
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(source.WaitUntilPaused());

    const std::uint32_t before = clock.TickCount();
    EXPECT_FALSE(monitor->StopSampling(1200));
    const std::uint32_t waited = clock.TickCount() - before;
    EXPECT_GT(waited, 1200u);
    EXPECT_LT(waited, 1300u) << "the limit given, not the 5 s";

    source.Resume();
    EXPECT_TRUE(WaitFor([&] { return monitor->StopSampling(); }));
}

TEST_F(SamplingTest, DestroyingAMonitorWaitsForItsThread)
{
    source.ScriptValues("\\A\\x", {0, 1, 2});
    AddAxis("\\A\\x");
    source.PauseAtCollection(2);
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(source.WaitUntilPaused());
    ASSERT_FALSE(monitor->StopSampling());

    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        source.Resume();
    });
    monitor.reset();  // must wait for the thread, which still uses the monitor
    release.join();
    SamplingControl& control = SamplingControl::Instance();
    std::lock_guard guard(control.lock);
    EXPECT_FALSE(control.running);
}

TEST_F(SamplingTest, DestroyingASamplingMonitorWithoutStoppingEndsItsThread)
{
    source.ScriptValues("\\A\\x", {0, 1});
    AddAxis("\\A\\x");
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(WaitForCurrent(0, 1));
    monitor.reset();
    SamplingControl& control = SamplingControl::Instance();
    std::lock_guard guard(control.lock);
    EXPECT_FALSE(control.running);
}

TEST_F(SamplingTest, QueryThatCannotBeMadeIsReportedByAnInteractiveMonitor)
{
    MakeMonitor(true);
    source.FailOpenQuery(true);
    AddAxis("\\A\\x");
    monitor->SetStatusText("Loading...");
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(WaitFor([&] { return monitor->StopSampling(); }));
    EXPECT_EQ(sink.Messages(), std::vector<std::string> {"Cannot create a query for performance data."});
    EXPECT_EQ(monitor->GetStatusText(), "Loading...");
}

TEST_F(SamplingTest, QueryThatCannotBeMadeLeavesASilentMonitorSamplingNoData)
{
    source.FailOpenQuery(true);
    AddAxis("\\A\\x");
    monitor->SetStatusText("Loading...");
    CountingRepaint repaint;
    ASSERT_TRUE(monitor->StartSampling(&repaint, false));
    ASSERT_TRUE(WaitFor([&] { return repaint.count >= 2; }));
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(monitor->GetStatusText(), "");
    EXPECT_DOUBLE_EQ(StatsOf(0).current, -1.0);
    EXPECT_EQ(State(0, SeriesCurrent), NoData);
}

TEST_F(SamplingTest, ClearsTheStatusTextAndRepaintsAtStartWhenAsked)
{
    source.ScriptValues("\\A\\x", {0, 1});
    AddAxis("\\A\\x");
    monitor->SetStatusText("Loading...");
    CountingRepaint repaint;
    source.PauseAtCollection(0);
    ASSERT_TRUE(monitor->StartSampling(&repaint, true));
    ASSERT_TRUE(source.WaitUntilPaused());
    EXPECT_EQ(repaint.count.load(), 1);
    EXPECT_EQ(monitor->GetStatusText(), "");
    EXPECT_EQ(monitor->GetNotifyWindow(), &repaint);
    source.Resume();
}

} // namespace
} // namespace quel::test
