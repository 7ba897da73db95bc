// The browser's value reader: one read at once and then every second, each report tagged with
// the path's generation, and a new path taken while a slow read is still under way.

#include "desktop/counter_value_reader.h"
#include "tests/engine/scripted_source.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include <mutex>
#include <tuple>
#include <vector>

namespace quel::desktop::test {
namespace {

using Report = std::tuple<std::uint64_t, PerfStatus, double>;

class Reports {
public:
    void Add(std::uint64_t generation, PerfStatus status, double value)
    {
        std::lock_guard guard(lock_);
        reports_.emplace_back(generation, status, value);
    }
    std::vector<Report> Get() const
    {
        std::lock_guard guard(lock_);
        return reports_;
    }
    bool WaitFor(std::size_t count) const
    {
        QElapsedTimer timer;
        timer.start();
        while (Get().size() < count) {
            if (timer.elapsed() > 15000)
                return false;
            QThread::msleep(5);
        }
        return true;
    }

private:
    mutable std::mutex lock_;
    std::vector<Report> reports_;
};

TEST(CounterValueReader, ReportsEachPathWithItsGenerationAndTakesANewPathDuringASlowRead)
{
    quel::test::ScriptedSource source;
    source.ScriptValues("\\A\\Slow", {1, 2, 3});
    source.ScriptValues("\\B\\Fast", {40});
    Reports reports;
    {
        CounterValueReader reader(source, [&](std::uint64_t g, PerfStatus s, double v) { reports.Add(g, s, v); });
        source.PauseAtCollection(1);
        const std::uint64_t slow = reader.Watch("\\A\\Slow");
        ASSERT_TRUE(reports.WaitFor(1));
        EXPECT_EQ(reports.Get()[0], Report(slow, perf_status::Ok, 1.0));

        ASSERT_TRUE(source.WaitUntilPaused());  // the second read hangs
        const std::uint64_t fast = reader.Watch("\\B\\Fast");
        EXPECT_NE(fast, slow);
        source.Resume();
        ASSERT_TRUE(reports.WaitFor(3));
        const std::vector<Report> got = reports.Get();
        EXPECT_EQ(got[1], Report(slow, perf_status::Ok, 2.0)) << "the read under way still reports, as the old path";
        EXPECT_EQ(got[2], Report(fast, perf_status::Ok, 40.0));

        reader.Watch("");
    }
    EXPECT_EQ(source.OpenQueries(), 0) << "the reader closes its query when it ends";
}

TEST(CounterValueReader, AFailedReadReportsItsStatus)
{
    quel::test::ScriptedSource source;
    Reports reports;
    CounterValueReader reader(source, [&](std::uint64_t g, PerfStatus s, double v) { reports.Add(g, s, v); });
    const std::uint64_t generation = reader.Watch("\\No\\Such");
    ASSERT_TRUE(reports.WaitFor(1));
    EXPECT_EQ(std::get<0>(reports.Get()[0]), generation);
    EXPECT_EQ(std::get<1>(reports.Get()[0]), perf_status::NoCounter);
    reader.Stop();
}

} // namespace
} // namespace quel::desktop::test
