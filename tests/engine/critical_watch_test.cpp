// CriticalWatch: episodes told once, at most one change per axis per minute of the monitor's
// clock, several axes of one sample together, failed reads never flapping.

#include "engine/critical_watch.h"
#include "tests/engine/fake_clock.h"
#include "tests/support/axis_samples.h"

#include <gtest/gtest.h>

#include <array>

namespace quel::test {
namespace {

class CriticalWatchTest : public ::testing::Test {
protected:
    // Starts just below the tick count's wrap, so every minute below crosses it.
    CriticalWatchTest() : clock(0xFFFFFFFFu - 30'000u), watch(clock), rose(4, 1)
    {
        rose.AddAxis("CPU", "", 0, 0.0, 100.0, 90.0, 1.0, nullptr);
        rose.AddAxis("Free memory", "", 1, 0.0, 1000.0, 900.0, 1.0, nullptr);  // inverse: 1000 - raw
        watch.Reset({"CPU", "Free memory"});
    }

    void Record(double cpu, double memory)
    {
        const std::array raw {cpu, memory};
        watch.Record(SampleOf(rose, raw));
    }
    std::vector<std::string> Due()
    {
        std::vector<CriticalChange> changes;
        watch.TakeDue(changes);
        std::vector<std::string> texts;
        for (const CriticalChange& change : changes)
            texts.push_back(DescribeCriticalChange(change));
        return texts;
    }
    void Advance(std::uint32_t milliseconds) { clock.Sleep(milliseconds); }

    using Texts = std::vector<std::string>;
    FakeClock clock;
    CriticalWatch watch;
    WindRose rose;
};

TEST_F(CriticalWatchTest, AnEpisodeIsToldOnceAndItsEndAtMostOnceAMinute)
{
    Record(90.0, 500.0);
    EXPECT_EQ(Due(), Texts {}) << "at the critical value is not above it";
    Record(95.5, 500.0);
    EXPECT_EQ(Due(), Texts {"CPU is critical: 95.50 (critical value 90)"});
    Record(99.0, 500.0);
    EXPECT_EQ(Due(), Texts {}) << "the same episode";

    Advance(10'000);
    Record(20.0, 500.0);
    EXPECT_EQ(Due(), Texts {}) << "inside the minute";
    Advance(49'999);
    EXPECT_EQ(Due(), Texts {});
    Advance(1);
    EXPECT_EQ(Due(), Texts {"CPU is back to normal"}) << "folded into the first moment allowed";

    // Critical and back inside the quiet minute: the axis is where it was told, nothing is due.
    Advance(5'000);
    Record(97.0, 500.0);
    Advance(5'000);
    Record(10.0, 500.0);
    Advance(120'000);
    EXPECT_EQ(Due(), Texts {});

    // A change deferred goes out with the latest values.
    Record(91.0, 500.0);
    EXPECT_EQ(Due(), Texts {"CPU is critical: 91 (critical value 90)"});
    Advance(1'000);
    Record(20.0, 500.0);
    Advance(1'000);
    Record(92.25, 500.0);
    Advance(1'000);
    Record(30.0, 500.0);
    Advance(58'000);
    EXPECT_EQ(Due(), Texts {"CPU is back to normal"});
}

TEST_F(CriticalWatchTest, AxesOfOneSampleComeTogetherAndFailedReadsChangeNothing)
{
    Record(95.0, 50.0);  // memory: 1000 - 50 = 950 on its inverse scale
    EXPECT_EQ(Due(), (Texts {"CPU is critical: 95 (critical value 90)",
                             "Free memory is critical: 950 (critical value 900)"}));

    // Unreadable counters: neither "back to normal" nor a new episode when they read again.
    Advance(120'000);
    Record(-1.0, -1.0);
    EXPECT_EQ(Due(), Texts {});
    Record(96.0, 40.0);
    EXPECT_EQ(Due(), Texts {});

    // Each axis keeps its own minute.
    Record(10.0, 40.0);
    EXPECT_EQ(Due(), Texts {"CPU is back to normal"});
    Advance(30'000);
    Record(10.0, 500.0);
    EXPECT_EQ(Due(), Texts {"Free memory is back to normal"});

    // Sampling starts again: the same axes keep their minute and what they were told; a
    // renamed one starts afresh.
    Record(95.0, 50.0);
    watch.Reset({"CPU", "Swap"});
    Record(95.0, 50.0);
    EXPECT_EQ(Due(), Texts {"Swap is critical: 950 (critical value 900)"});
    Advance(30'000);
    EXPECT_EQ(Due(), Texts {"CPU is critical: 95 (critical value 90)"});
}

} // namespace
} // namespace quel::test
