// The standard counter set and a sampling monitor over the Linux provider on a fixture machine.

#include "engine/counter_monitor.h"
#include "engine/standard_counter_set.h"
#include "tests/engine/fake_clock.h"
#include "tests/platform/fixture_machine.h"

#include <gtest/gtest.h>

namespace quel::test {
namespace {

class LinuxStandardSetTest : public ::testing::Test {
protected:
    FixtureMachine machine {"machine-4cpu"};
    FakeVolumes volumes;
    std::unique_ptr<LinuxPerfDataSource> source;
    std::unique_ptr<CounterMonitor> monitor;

    void SetUp() override
    {
        machine.Write("sys/class/net/eth0/speed", "100\n");
        volumes.Set("/", VolumeSpace {1000, 400, 300, 4096});
        volumes.Set("/home", VolumeSpace {2000, 1000, 1000, 4096});
        LinuxPerfDataSourceOptions options;
        options.procRoot = machine.ProcRoot();
        options.sysRoot = machine.SysRoot();
        options.volumeStat = volumes.Function();
        source = std::make_unique<LinuxPerfDataSource>(options);
        MonitorEnvironment environment;
        environment.source = source.get();
        monitor = std::make_unique<CounterMonitor>(environment);
        monitor->SetUpDefaultProfile();
    }
    void TearDown() override
    {
        EXPECT_TRUE(WaitFor([&] { return monitor->StopSampling(); }));
        monitor.reset();
    }

    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (int i = 0; i < monitor->GetAxisCount(); ++i) {
            std::optional<std::string> name;
            monitor->GetAxisName(i, name);
            names.push_back(name.value_or(""));
        }
        return names;
    }
};

TEST_F(LinuxStandardSetTest, DefaultSetOnAFourProcessorMachine)
{
    EXPECT_EQ(Names(), (std::vector<std::string> {"% CPU-1", "% CPU-2", "% CPU-3", "% CPU-4", "# Processes",
                                                  "# Threads", "% Memory", "% Virtual Memory", "% Disk Space Used",
                                                  "% Hard Drive Time"}));
    std::string path;
    ASSERT_TRUE(monitor->GetCounterPath(3, path));
    EXPECT_EQ(path, "\\Processor(3)\\% Processor Time");
}

TEST_F(LinuxStandardSetTest, NetworkLeavesOutTheLoopbackAndScalesToTheLinkSpeed)
{
    BuildStandardCounterSet(false, NetworkUtilization, *monitor);
    std::vector<std::string> paths;
    for (int i = 0; i < monitor->GetAxisCount(); ++i) {
        std::string path;
        monitor->GetCounterPath(i, path);
        paths.push_back(path);
    }
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0], "\\Network Interface(eth0)\\Bytes Total/sec");
    EXPECT_EQ(paths[1], "\\Network Interface(wlan0)\\Bytes Total/sec");
    double maxValue = 0, critical = 0, multiplier = 0;
    monitor->GetAxisMax(0, maxValue);
    monitor->GetAxisCritical(0, critical);
    monitor->GetAxisMultiplier(0, multiplier);
    EXPECT_DOUBLE_EQ(maxValue, 12207);  // 100 Mbit/s
    EXPECT_DOUBLE_EQ(critical, 2441);
    EXPECT_DOUBLE_EQ(multiplier, 1024);
    monitor->GetAxisMax(1, maxValue);  // speed -1: unknown
    EXPECT_DOUBLE_EQ(maxValue, 0);
}

TEST_F(LinuxStandardSetTest, MonitorSamplesTheMachine)
{
    BuildStandardCounterSet(false, TotalProcesses | TotalDiskSpace, *monitor);
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(WaitFor([&] {
        double current = 0, maximum = 0, average = 0;
        return monitor->GetStatistics(0, current, maximum, average) && current > 0;
    }));
    double processes = 0, maximum = 0, average = 0;
    ASSERT_TRUE(monitor->GetStatistics(0, processes, maximum, average));
    EXPECT_DOUBLE_EQ(processes, 5);  // numeric entries of the fixture's /proc
    ASSERT_TRUE(WaitFor([&] {
        double current = 0;
        return monitor->GetStatistics(1, current, maximum, average) && current > 0;
    }));
    double freePercent = 0;
    monitor->GetStatistics(1, freePercent, maximum, average);
    // Sum of free over sum of size across the volumes that answered: (300 + 1000) / (900 + 2000).
    EXPECT_NEAR(freePercent, 100.0 * 1300 / 2900, 1e-9);
    double shown = 0;
    monitor->GetValue(1, shown, 2);
    EXPECT_NEAR(shown, 100 - 100.0 * 1300 / 2900, 1e-9);  // the inverse axis shows the used share
}

} // namespace
} // namespace quel::test
