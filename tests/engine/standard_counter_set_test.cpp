// The standard counter set built over a scripted provider.

#include "engine/standard_counter_set.h"
#include "tests/engine/monitor_test_support.h"

namespace quel::test {
namespace {

struct AxisView {
    std::string name;
    std::string path;
    std::uint8_t inverse = 0;
    double maxValue = 0, critical = 0, multiplier = 0;
};

class StandardSetTest : public MonitorTest {
protected:
    std::vector<AxisView> Axes()
    {
        std::vector<AxisView> axes;
        for (int i = 0; i < monitor->GetAxisCount(); ++i) {
            AxisView axis;
            std::optional<std::string> name;
            EXPECT_TRUE(monitor->GetAxisName(i, name));
            axis.name = name.value_or("");
            EXPECT_TRUE(monitor->GetCounterPath(i, axis.path));
            monitor->GetAxisInverse(i, axis.inverse);
            monitor->GetAxisMax(i, axis.maxValue);
            monitor->GetAxisCritical(i, axis.critical);
            monitor->GetAxisMultiplier(i, axis.multiplier);
            axes.push_back(axis);
        }
        return axes;
    }
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (const AxisView& axis : Axes())
            names.push_back(axis.name);
        return names;
    }
};

TEST_F(StandardSetTest, DefaultChoiceOnTwoProcessorsInItsOrder)
{
    source.SetInstances("Processor", {"0", "1", "_Total"});
    BuildStandardCounterSet(true, 0, *monitor);
    EXPECT_EQ(Names(), (std::vector<std::string> {"% CPU-1", "% CPU-2", "# Processes", "# Threads", "% Memory",
                                                  "% Virtual Memory", "% Disk Space Used", "% Hard Drive Time"}));
    const std::vector<AxisView> axes = Axes();
    EXPECT_EQ(axes[0].path, "\\Processor(0)\\% Processor Time");
    EXPECT_EQ(axes[1].path, "\\Processor(1)\\% Processor Time");
    EXPECT_EQ(axes[2].path, "\\Objects\\Processes");
    EXPECT_EQ(axes[3].path, "\\Objects\\Threads");
    EXPECT_EQ(axes[4].path, "\\Memory\\% Committed Bytes In Use");
    EXPECT_EQ(axes[5].path, "\\Paging File(_Total)\\% Usage");
    EXPECT_EQ(axes[6].path, "\\LogicalDisk(_Total)\\% Free Space");
    EXPECT_EQ(axes[6].inverse, 1);
    EXPECT_EQ(axes[7].path, "\\PhysicalDisk(_Total)\\% Disk Time");
    EXPECT_DOUBLE_EQ(axes[3].critical, 800);
    EXPECT_DOUBLE_EQ(axes[5].critical, 50);
}

TEST_F(StandardSetTest, OneProcessorGetsOneUnnumberedAxis)
{
    source.SetInstances("Processor", {"_Total", "0"});
    BuildStandardCounterSet(false, CpuUtilization, *monitor);
    EXPECT_EQ(Names(), std::vector<std::string> {"% CPU"});
}

TEST_F(StandardSetTest, EveryChoiceInItsPlace)
{
    source.SetInstances("Processor", {"0"});
    source.SetInstances("LogicalDisk", {"/", "/home", "_Total"});
    source.SetInstances("PhysicalDisk", {"sda", "nvme0n1", "_Total"});
    source.SetInstances("Network Interface", {"lo", "eth0"});
    source.SetLoopback("lo");
    source.ScriptValues("\\Network Interface(eth0)\\Current Bandwidth", {100000000});
    BuildStandardCounterSet(false, 0xFFF, *monitor);
    EXPECT_EQ(Names(), (std::vector<std::string> {"% CPU", "# Processes", "# Threads", "% Memory", "% Virtual Memory",
                                                  "% Registry Used", "% Disk Space Used", "% Used on /",
                                                  "% Used on /home", "% Hard Drive Time", "% H.Drive-1 Time",
                                                  "% H.Drive-2 Time", "Network KB/s", "# Sessions"}));
    const std::vector<AxisView> axes = Axes();
    EXPECT_EQ(axes[8].path, "\\LogicalDisk(/home)\\% Free Space");
    EXPECT_EQ(axes[11].path, "\\PhysicalDisk(nvme0n1)\\% Disk Time");
    const AxisView& network = axes[12];
    EXPECT_EQ(network.path, "\\Network Interface(eth0)\\Bytes Total/sec");
    EXPECT_DOUBLE_EQ(network.maxValue, 12207);
    EXPECT_DOUBLE_EQ(network.critical, 2441);
    EXPECT_DOUBLE_EQ(network.multiplier, 1024);
    EXPECT_EQ(axes[13].path, "\\Server\\Server Sessions");
}

TEST_F(StandardSetTest, DisksWithoutInstancesFallBackToTotals)
{
    BuildStandardCounterSet(false, EachDiskSpace | EachDriveTime | CpuUtilization, *monitor);
    const std::vector<AxisView> axes = Axes();
    ASSERT_EQ(axes.size(), 2u);
    EXPECT_EQ(axes[0].name, "% Disk Space Used");
    EXPECT_EQ(axes[0].path, "\\LogicalDisk(_Total)\\% Free Space");
    EXPECT_EQ(axes[1].name, "% Disk Access Time");
    EXPECT_EQ(axes[1].path, "\\PhysicalDisk(_Total)\\% Disk Time");
}

TEST_F(StandardSetTest, NetworkAxesAreNumberedAndAnUnknownBandwidthGivesZeroRange)
{
    source.SetInstances("Network Interface", {"eth0", "eth1"});
    source.ScriptValues("\\Network Interface(eth0)\\Current Bandwidth", {1000000000});
    BuildStandardCounterSet(false, NetworkUtilization, *monitor);
    const std::vector<AxisView> axes = Axes();
    ASSERT_EQ(axes.size(), 2u);
    EXPECT_EQ(axes[0].name, "Network-1 KB/s");
    EXPECT_DOUBLE_EQ(axes[0].maxValue, 122070);
    EXPECT_EQ(axes[1].name, "Network-2 KB/s");
    EXPECT_DOUBLE_EQ(axes[1].maxValue, 0);
    EXPECT_DOUBLE_EQ(axes[1].critical, 0);
}

TEST_F(StandardSetTest, NoNetworkAxisWhenNoQueryOpens)
{
    source.SetInstances("Network Interface", {"eth0"});
    source.FailOpenQuery(true);
    BuildStandardCounterSet(false, NetworkUtilization | TotalSessions, *monitor);
    EXPECT_EQ(Names(), std::vector<std::string> {"# Sessions"});
}

TEST_F(StandardSetTest, BuildingReplacesEveryPreviousAxisAndStopsAtThirtyTwo)
{
    AddAxis("\\Old\\x");
    std::vector<std::string> cpus;
    for (int i = 0; i < 40; ++i)
        cpus.push_back(std::to_string(i));
    source.SetInstances("Processor", cpus);
    BuildStandardCounterSet(true, 0, *monitor);
    const std::vector<std::string> names = Names();
    ASSERT_EQ(names.size(), 32u);
    EXPECT_EQ(names.front(), "% CPU-1");
    EXPECT_EQ(names.back(), "% CPU-32");
}

TEST_F(StandardSetTest, PathsUseTheProvidersNames)
{
    source.SetName(260, "Objekte");
    source.SetName(248, "Prozesse");
    LocalizeStandardPaths(source);
    EXPECT_EQ(GetStandardPaths().processes, "\\Objekte\\Prozesse");
    const std::string instance = "3";
    EXPECT_EQ(MakeCounterPath(source, 238, 6, &instance), "\\Processor(3)\\% Processor Time");
    source.SetName(260, "Objects");
    source.SetName(248, "Processes");
    LocalizeStandardPaths(source);
}

} // namespace
} // namespace quel::test
