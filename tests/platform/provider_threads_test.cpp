// The provider used from two threads at once, as a sampling thread and a user interface do.

#include "fixture_machine.h"

#include <gtest/gtest.h>

#include <thread>

namespace quel::test {
namespace {

using namespace perf_status;

TEST(ProviderThreadsTest, SamplingWhileAnotherThreadBrowsesAndQueries)
{
    FixtureProvider p("machine-4cpu", std::chrono::milliseconds(5));
    p.volumes.Set("/", VolumeSpace{1000, 400, 300, 4096});
    p.volumes.Set("/home", VolumeSpace{2000, 1000, 1000, 1024});
    std::vector<PerfCounterHandle> sampled;
    for (std::string_view path : {"\\Processor(0)\\% Processor Time", "\\Memory\\Pages/sec", "\\Objects\\Processes",
                                  "\\LogicalDisk(_Total)\\% Free Space", "\\PhysicalDisk(_Total)\\% Disk Time",
                                  "\\Network Interface(eth0)\\Bytes Total/sec", "\\Server\\Server Sessions"})
        sampled.push_back(p.Add(path));

    std::thread sampler([&] {
        for (int i = 0; i < 200; ++i) {
            p.clock.Advance(1.0);
            EXPECT_EQ(p.Collect(), Ok);
            for (PerfCounterHandle counter : sampled)
                p.Read(counter);
        }
    });
    for (int i = 0; i < 100; ++i) {
        EXPECT_FALSE(p.Instances("LogicalDisk").empty());
        EXPECT_FALSE(p.Instances("Network Interface").empty());
        PerfQueryHandle query = nullptr;
        PerfCounterHandle counter = nullptr;
        ASSERT_EQ(p.source.OpenQuery(query), Ok);
        p.source.AddCounter(query, "\\Network Interface(eth0)\\Current Bandwidth", counter);
        EXPECT_EQ(p.source.CollectQueryData(query), Ok);
        double value = 0.0;
        EXPECT_EQ(p.source.GetFormattedCounterValue(counter, value), Ok);
        EXPECT_EQ(value, 1e9);
        EXPECT_EQ(p.source.CloseQuery(query), Ok);
    }
    sampler.join();
    EXPECT_EQ(p.Read(sampled[2]).value, 5.0);
}

} // namespace
} // namespace quel::test
