// The Control Group object over fixture hierarchies (machine-4cpu has cgroup v2 at
// /sys/fs/cgroup, machine-1cpu has none), and over this machine's own hierarchy.

#include "fixture_machine.h"
#include "platform/control_group_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

namespace quel::test {
namespace {

using namespace perf_status;

constexpr std::string_view Ssh = "sys/fs/cgroup/system.slice/ssh.service/";

std::string CpuStat(std::uint64_t usage, std::uint64_t user, std::uint64_t system)
{
    return "usage_usec " + std::to_string(usage) + "\nuser_usec " + std::to_string(user) + "\nsystem_usec "
        + std::to_string(system) + "\nnr_periods 0\nnr_throttled 0\nthrottled_usec 0\n";
}

std::string Pressure(std::uint64_t some)
{
    return "some avg10=0.00 avg60=0.00 avg300=0.00 total=" + std::to_string(some)
        + "\nfull avg10=0.00 avg60=0.00 avg300=0.00 total=0\n";
}

std::string Group(std::string_view instance, std::string_view counter)
{
    return "\\Control Group(" + std::string(instance) + ")\\" + std::string(counter);
}

TEST(ControlGroupTest, ListsTheHierarchyAsATreeWithTotalLast)
{
    FixtureProvider p("machine-4cpu");
    EXPECT_EQ(p.Instances("Control Group"),
              (std::vector<std::string>{"init.scope", "system.slice", "system.slice/ssh.service", "user.slice",
                                        "user.slice/user-1000.slice", "_Total"}));
    // A group created since is listed by the next enumeration.
    p.machine.Write("sys/fs/cgroup/system.slice-extra/cpu.stat", CpuStat(1, 1, 0));
    EXPECT_EQ(p.Instances("Control Group")[3], "system.slice-extra");

    FixtureProvider without("machine-1cpu");
    EXPECT_TRUE(without.Instances("Control Group").empty()) << "no cgroup2 mount, no instances";
}

// Rates over two collections, io.stat summed over its devices, and every value that cannot be
// known (no limit, a controller not enabled, a file the root lacks) a failed read.
TEST(ControlGroupTest, CountersOfAGroupOverTwoCollections)
{
    FixtureProvider p("machine-4cpu");
    const std::string ssh = "system.slice/ssh.service";
    const PerfCounterHandle cpu = p.Add(Group(ssh, "% Processor Time"));
    const PerfCounterHandle user = p.Add(Group(ssh, "% User Time"));
    const PerfCounterHandle privileged = p.Add(Group(ssh, "% Privileged Time"));
    const PerfCounterHandle read = p.Add(Group(ssh, "IO Read Bytes/sec"));
    const PerfCounterHandle written = p.Add(Group(ssh, "IO Write Bytes/sec"));
    const PerfCounterHandle cpuStall = p.Add(Group(ssh, "% CPU Stalled"));
    const PerfCounterHandle limit = p.Add(Group(ssh, "Memory Limit"));
    const PerfCounterHandle inUse = p.Add(Group(ssh, "% Memory Limit In Use"));
    const PerfCounterHandle swap = p.Add(Group(ssh, "Swap Bytes"));
    const PerfCounterHandle processes = p.Add(Group(ssh, "Processes"));
    const PerfCounterHandle noLimit = p.Add(Group("system.slice", "Memory Limit"));
    const PerfCounterHandle noLimitInUse = p.Add(Group("system.slice", "% Memory Limit In Use"));
    const PerfCounterHandle noController = p.Add(Group("user.slice/user-1000.slice", "Memory Bytes"));
    const PerfCounterHandle noIo = p.Add(Group("user.slice/user-1000.slice", "IO Read Bytes/sec"));
    const PerfCounterHandle rootCpu = p.Add(Group("_Total", "% Processor Time"));
    const PerfCounterHandle rootMemory = p.Add(Group("_Total", "Memory Bytes"));
    const PerfCounterHandle escape = p.Add(Group("system.slice/../user.slice", "Processes"));

    ASSERT_EQ(p.Collect(), Ok);
    for (PerfCounterHandle rate : {cpu, user, privileged, read, written, cpuStall, rootCpu})
        EXPECT_EQ(p.Read(rate).status, NoData);
    EXPECT_EQ(p.Read(limit).value, 33554432.0);
    EXPECT_DOUBLE_EQ(p.Read(inUse).value, 25.0) << "8388608 of 33554432";
    EXPECT_EQ(p.Read(swap).value, 4096.0);
    EXPECT_EQ(p.Read(processes).value, 3.0);
    for (PerfCounterHandle unknown : {noLimit, noLimitInUse, noController, noIo, rootMemory})
        EXPECT_EQ(p.Read(unknown).status, Unreadable) << "\"max\", a missing controller or root file";
    EXPECT_EQ(p.Read(escape).status, NoInstance);

    // Two seconds: 1.5 s of processor (1.0 user, 0.5 kernel), 3000 + 5000 bytes read on two
    // devices, 4000 written on one, 0.2 s of processor stall.
    p.machine.Write(std::string(Ssh) + "cpu.stat", CpuStat(6500000, 4000000, 2500000));
    p.machine.Write(std::string(Ssh) + "io.stat",
                    "8:0 rbytes=1003000 wbytes=204000 rios=310 wios=55 dbytes=0 dios=0\n"
                    "259:0 rbytes=505000 wbytes=100000 rios=125 wios=30 dbytes=0 dios=0\n");
    p.machine.Write(std::string(Ssh) + "cpu.pressure", Pressure(210000));
    p.machine.Write("sys/fs/cgroup/cpu.stat", CpuStat(918273645 + 6000000, 600000000, 318273645));
    ASSERT_EQ(p.CollectAfter(2.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(cpu).value, 75.0);
    EXPECT_DOUBLE_EQ(p.Read(user).value, 50.0);
    EXPECT_DOUBLE_EQ(p.Read(privileged).value, 25.0);
    EXPECT_DOUBLE_EQ(p.Read(read).value, 4000.0);
    EXPECT_DOUBLE_EQ(p.Read(written).value, 2000.0);
    EXPECT_DOUBLE_EQ(p.Read(cpuStall).value, 10.0);
    EXPECT_DOUBLE_EQ(p.Read(rootCpu).value, 300.0) << "three processors busy";
}

// A group removed fails its reads; one created again under the same path starts its rates
// afresh rather than taking the old group's counts for its own.
TEST(ControlGroupTest, RemovedAndRecreatedGroups)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle cpu = p.Add(Group("system.slice/ssh.service", "% Processor Time"));
    const PerfCounterHandle memory = p.Add(Group("system.slice/ssh.service", "Memory Bytes"));
    ASSERT_EQ(p.Collect(), Ok);

    // The old folder lives on elsewhere (a fresh folder cannot reuse its inode).
    const std::filesystem::path slice = std::filesystem::path(p.machine.SysRoot()) / "fs/cgroup/system.slice";
    std::filesystem::rename(slice / "ssh.service", slice / "old.service");
    p.machine.Write(std::string(Ssh) + "cpu.stat", CpuStat(6000000, 4000000, 2000000));
    p.machine.Write(std::string(Ssh) + "memory.current", "4096\n");
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(cpu).status, NoData) << "the new group primes again";
    EXPECT_EQ(p.Read(memory).value, 4096.0) << "the new group's file, not the one kept open";

    p.machine.Write(std::string(Ssh) + "cpu.stat", CpuStat(6500000, 4000000, 2500000));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(cpu).value, 50.0);

    p.machine.Remove("sys/fs/cgroup/system.slice/ssh.service");
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(cpu).status, NoInstance);
    EXPECT_EQ(p.Read(memory).status, NoInstance);
}

// A hybrid system: cgroup v1 controllers at /sys/fs/cgroup, the unified hierarchy below it.
TEST(ControlGroupTest, HybridHierarchyAtUnified)
{
    FixtureProvider p("machine-4cpu");
    p.machine.Write("proc/self/mountinfo",
                    "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
                    "31 22 0:28 / /sys/fs/cgroup rw,relatime - tmpfs tmpfs rw,mode=755\n"
                    "32 31 0:29 / /sys/fs/cgroup/cpu rw,relatime - cgroup cgroup rw,cpu\n"
                    "41 31 0:38 / /sys/fs/cgroup/unified rw,relatime - cgroup2 cgroup2 rw\n");
    p.machine.Write("sys/fs/cgroup/unified/cpu.stat", CpuStat(1000000, 600000, 400000));
    p.machine.Write("sys/fs/cgroup/unified/app.slice/pids.current", "7\n");
    EXPECT_EQ(p.Instances("Control Group"), (std::vector<std::string>{"app.slice", "_Total"}));
    const PerfCounterHandle root = p.Add(Group("_Total", "% Processor Time"));
    const PerfCounterHandle app = p.Add(Group("app.slice", "Processes"));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(app).value, 7.0);
    p.machine.Write("sys/fs/cgroup/unified/cpu.stat", CpuStat(1250000, 600000, 650000));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(root).value, 25.0);
}

TEST(ControlGroupTest, FilesThatCannotBeReadAsTheKernelPrintsThemFail)
{
    std::uint64_t value = 0;
    EXPECT_FALSE(ParseKeyedValue("usage_usec\nuser_usec 5\n", "usage_usec", value));
    EXPECT_FALSE(ParseKeyedValue("usage_usec -5\n", "usage_usec", value));
    EXPECT_FALSE(ParseIoStatSum("8:0 rbytes=18446744073709551615\n8:16 rbytes=1\n", "rbytes", value))
        << "a sum beyond 64 bits";
    EXPECT_FALSE(ParseIoStatSum("8:0 rbytes=12x\n", "rbytes", value));
    EXPECT_TRUE(ParseIoStatSum("", "rbytes", value) && value == 0) << "no I/O yet";
    EXPECT_FALSE(ParseSingleValue("max\n", value));
}

// This machine's own hierarchy, where it has one, enumerates and reads without failing.
TEST(ControlGroupTest, ThisMachinesHierarchy)
{
    std::ifstream mounts("/proc/self/mountinfo");
    bool unified = false;
    for (std::string line; std::getline(mounts, line);)
        unified = unified || (line.find(" /sys/fs/cgroup") != std::string::npos && line.find(" - cgroup2 ") != std::string::npos);
    if (!unified)
        GTEST_SKIP() << "no cgroup v2 hierarchy under /sys here";
    LinuxPerfDataSource source;
    std::size_t countersLength = 0;
    std::size_t instancesLength = 0;
    ASSERT_EQ(source.EnumObjectItems("Control Group", nullptr, countersLength, nullptr, instancesLength), MoreData);
    std::vector<char> counters(countersLength);
    std::vector<char> instances(instancesLength);
    ASSERT_EQ(source.EnumObjectItems("Control Group", counters.data(), countersLength, instances.data(),
                                     instancesLength),
              Ok);
    const std::vector<std::string> names = SplitNameList(instances.data());
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "_Total");
    PerfQueryHandle query = nullptr;
    ASSERT_EQ(source.OpenQuery(query), Ok);
    PerfCounterHandle cpu = nullptr;
    ASSERT_EQ(source.AddCounter(query, Group("_Total", "% Processor Time"), cpu), Ok);
    EXPECT_EQ(source.CollectQueryData(query), Ok);
    EXPECT_EQ(source.CollectQueryData(query), Ok);
    double value = 0.0;
    const PerfStatus status = source.GetFormattedCounterValue(cpu, value);
    EXPECT_TRUE(status == Ok || status == Unreadable) << status;
    EXPECT_TRUE(std::isfinite(value) && value >= 0.0);
    source.CloseQuery(query);
}

} // namespace
} // namespace quel::test
