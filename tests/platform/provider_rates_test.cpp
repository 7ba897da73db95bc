// Rate counters across collections: priming, exact values, resets, 32-bit unwrap and
// instances that disappear and come back.

#include "fixture_machine.h"

#include <gtest/gtest.h>

namespace quel::test {
namespace {

using namespace perf_status;

// A /proc/stat with the given cpu lines ("cpu  ..." first).
std::string Stat(std::initializer_list<std::string_view> cpuLines, std::uint64_t ctxt = 251465)
{
    std::string text;
    for (std::string_view line : cpuLines)
        text.append(line).append("\n");
    text += "intr 1 0 0\nctxt " + std::to_string(ctxt) + "\nprocs_running 7\nprocs_blocked 0\n";
    return text;
}

constexpr std::string_view Cpu0 = "cpu0 100 10 50 2000 20 5 5 10 0 0";
constexpr std::string_view Cpu1 = "cpu1 200 10 150 1900 80 15 15 20 0 0";
constexpr std::string_view Cpu2 = "cpu2 300 10 100 2100 50 10 10 10 0 0";
constexpr std::string_view Cpu3 = "cpu3 400 10 200 2000 50 20 20 20 0 0";

TEST(ProviderRatesTest, ProcessorTimesDivideByTheCpusJiffies)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle busy = p.Add("\\Processor(0)\\% Processor Time");
    const PerfCounterHandle user = p.Add("\\Processor(0)\\% User Time");
    const PerfCounterHandle privileged = p.Add("\\Processor(0)\\% Privileged Time");
    const PerfCounterHandle interrupt = p.Add("\\Processor(0)\\% Interrupt Time");
    const PerfCounterHandle idle = p.Add("\\Processor(0)\\% Idle Time");
    const PerfCounterHandle total = p.Add("\\Processor(_Total)\\% Processor Time");
    const PerfCounterHandle cpu3 = p.Add("\\Processor(3)\\% Processor Time");

    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(busy).status, NoData) << "the first collection only primes";
    EXPECT_EQ(p.Read(total).status, NoData);

    // cpu0: +30 user +10 nice +20 system +130 idle +5 irq +5 softirq = 200 jiffies, 70 busy.
    // Wall time plays no part, so the clock does not move at all.
    p.machine.Write("proc/stat", Stat({"cpu  1100 40 600 8700 300 50 50 60 0 0", "cpu0 130 20 70 2130 20 10 10 10 0 0",
                                       Cpu1, Cpu2, Cpu3}));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_DOUBLE_EQ(p.Read(busy).value, 35.0);
    EXPECT_DOUBLE_EQ(p.Read(user).value, 20.0);
    EXPECT_DOUBLE_EQ(p.Read(privileged).value, 15.0);
    EXPECT_DOUBLE_EQ(p.Read(interrupt).value, 2.5);
    EXPECT_DOUBLE_EQ(p.Read(idle).value, 65.0);
    EXPECT_EQ(p.Read(busy).status, Ok);
    // _Total: 1000 jiffies of which 800 idle or waiting.
    EXPECT_DOUBLE_EQ(p.Read(total).value, 20.0);
    EXPECT_EQ(p.Read(cpu3).status, NoData) << "no jiffy passed on cpu3: no value, baseline kept";

    p.machine.Write("proc/stat", Stat({"cpu  1100 40 600 8700 300 50 50 60 0 0", "cpu0 130 20 70 2130 20 10 10 10 0 0",
                                       Cpu1, Cpu2, "cpu3 400 10 200 2100 50 20 20 20 0 0"}));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_DOUBLE_EQ(p.Read(cpu3).value, 0.0);
    EXPECT_EQ(p.Read(cpu3).status, Ok);
}

TEST(ProviderRatesTest, ProcessorCounterGoingBackwardsPrimesAgain)
{
    FixtureProvider p("machine-1cpu");
    const PerfCounterHandle cpu = p.Add("\\Processor(0)\\% Processor Time");
    ASSERT_EQ(p.Collect(), Ok);
    p.machine.Write("proc/stat", Stat({"cpu  400 0 300 9000 100 0 100 0", "cpu0 400 0 300 9000 100 0 100 0"}));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(cpu).status, NoData) << "user went from 500 to 400: a reset";
    p.machine.Write("proc/stat", Stat({"cpu  450 0 300 9050 100 0 100 0", "cpu0 450 0 300 9050 100 0 100 0"}));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(cpu).status, Ok);
    EXPECT_DOUBLE_EQ(p.Read(cpu).value, 50.0);
}

TEST(ProviderRatesTest, ProcessorGoingOfflineFailsAndPrimesWhenBack)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle cpu2 = p.Add("\\Processor(2)\\% Processor Time");
    ASSERT_EQ(p.Collect(), Ok);
    p.machine.Write("proc/stat", Stat({"cpu  1000 40 500 8000 200 50 50 60", Cpu0, Cpu1, Cpu3}));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(cpu2).status, NoInstance);
    p.machine.Write("proc/stat", Stat({"cpu  1000 40 500 8000 200 50 50 60", Cpu0, Cpu1,
                                       "cpu2 400 10 100 2100 50 10 10 10", Cpu3}));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(cpu2).status, NoData);
    p.machine.Write("proc/stat", Stat({"cpu  1000 40 500 8000 200 50 50 60", Cpu0, Cpu1,
                                       "cpu2 400 10 100 2200 50 10 10 10", Cpu3}));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_DOUBLE_EQ(p.Read(cpu2).value, 0.0);
}

// T leaves guest out: it is already inside user and nice. Counting it again would make
// % Guest Time 20 instead of 25 and every other share smaller.
TEST(ProviderRatesTest, ProcessorSharesDivideByJiffiesThatCountGuestOnce)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle dpc = p.Add("\\Processor(0)\\% DPC Time");
    const PerfCounterHandle ioWait = p.Add("\\Processor(0)\\% I/O Wait Time");
    const PerfCounterHandle steal = p.Add("\\Processor(0)\\% Steal Time");
    const PerfCounterHandle guest = p.Add("\\Processor(0)\\% Guest Time");
    const PerfCounterHandle user = p.Add("\\Processor(0)\\% User Time");
    const PerfCounterHandle totalGuest = p.Add("\\Processor(_Total)\\% Guest Time");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(guest).status, NoData);

    // cpu0: +60 user (40 of it guest) +10 nice (all guest_nice) +10 system +60 idle +20 iowait
    // +5 irq +15 softirq +20 steal = 200 jiffies.
    const std::string_view cpu0 = "cpu0 160 20 60 2060 40 10 20 30 40 10";
    p.machine.Write("proc/stat", Stat({"cpu  1060 50 510 8060 220 55 65 80 40 10", cpu0, Cpu1, Cpu2, Cpu3}));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_DOUBLE_EQ(p.Read(dpc).value, 7.5);
    EXPECT_DOUBLE_EQ(p.Read(ioWait).value, 10.0);
    EXPECT_DOUBLE_EQ(p.Read(steal).value, 10.0);
    EXPECT_DOUBLE_EQ(p.Read(guest).value, 25.0);
    EXPECT_DOUBLE_EQ(p.Read(user).value, 35.0);
    EXPECT_DOUBLE_EQ(p.Read(totalGuest).value, 25.0);

    // No jiffy passed: no value, and the next one is measured from the kept baseline.
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(guest).status, NoData);
    p.machine.Write("proc/stat", Stat({"cpu  1060 50 510 8060 220 55 65 80 40 10",
                                       "cpu0 260 20 60 2060 40 10 20 30 90 10", Cpu1, Cpu2, Cpu3}));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_DOUBLE_EQ(p.Read(guest).value, 50.0);

    // An older kernel's line stops before guest (8 fields) or steal (7): those shares are not
    // known, the others still are.
    p.machine.Write("proc/stat", Stat({"cpu  1060 50 510 8060 220 55 65 80", "cpu0 260 20 60 2160 40 10 20 30", Cpu1,
                                       Cpu2, Cpu3}));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(guest).status, Unreadable);
    EXPECT_EQ(p.Read(totalGuest).status, Unreadable);
    EXPECT_DOUBLE_EQ(p.Read(steal).value, 0.0);
    p.machine.Write("proc/stat", Stat({"cpu  1060 50 510 8060 220 55 65", "cpu0 260 20 60 2260 40 10 20", Cpu1,
                                       Cpu2, Cpu3}));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(steal).status, Unreadable);
    EXPECT_DOUBLE_EQ(p.Read(dpc).value, 0.0);
}

std::string Interrupts(std::string_view header, std::initializer_list<std::string_view> rows, int errors)
{
    std::string text(header);
    text += "\n";
    for (std::string_view row : rows)
        text.append(row).append("\n");
    return text + "ERR:   " + std::to_string(errors) + "\nMIS:          0\n";
}

// _Total from the `intr` line of /proc/stat, each CPU from its column of /proc/interrupts,
// found by the header's CPU numbers (an offline CPU has no column). ERR and MIS have one number
// for the whole machine and belong to no CPU.
TEST(ProviderRatesTest, InterruptsPerSecondOfEachCpuAndOfAll)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle total = p.Add("\\Processor(_Total)\\Interrupts/sec");
    const PerfCounterHandle cpu0 = p.Add("\\Processor(0)\\Interrupts/sec");
    const PerfCounterHandle cpu2 = p.Add("\\Processor(2)\\Interrupts/sec");
    const PerfCounterHandle cpu3 = p.Add("\\Processor(3)\\Interrupts/sec");
    const auto stat = [](int interrupts) {
        return "cpu  1000 40 500 8000 200 50 50 60 0 0\ncpu0 100 10 50 2000 20 5 5 10 0 0\nintr "
            + std::to_string(interrupts) + " 33 9 0\nctxt 251465\n";
    };
    const std::string_view all = "            CPU0       CPU1       CPU2       CPU3";
    const std::string_view timer = "   0:  33   0   100   0   IO-APIC   2-edge  timer";
    p.machine.Write("proc/stat", stat(132107));
    p.machine.Write("proc/interrupts", Interrupts(all, {timer, "LOC:   0   0   500   1000   Local timer interrupts"}, 1));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(cpu3).status, NoData);

    // cpu2 goes offline: the columns are CPU0 CPU1 CPU3, and cpu3's is the third.
    p.machine.Write("proc/stat", stat(140107));
    p.machine.Write("proc/interrupts", Interrupts("            CPU0       CPU1       CPU3",
                                                  {"   0:  33   0   0   IO-APIC   2-edge  timer",
                                                   "LOC:   0   0   1500   Local timer interrupts"}, 7));
    ASSERT_EQ(p.CollectAfter(2.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(total).value, 4000.0);
    EXPECT_DOUBLE_EQ(p.Read(cpu3).value, 250.0);
    EXPECT_DOUBLE_EQ(p.Read(cpu0).value, 0.0);
    EXPECT_EQ(p.Read(cpu2).status, NoInstance);

    // Back online: it primes again rather than counting from before it left.
    p.machine.Write("proc/interrupts", Interrupts(all, {timer, "LOC:   0   0   900   1600   Local timer interrupts"}, 107));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(cpu2).status, NoData);
    EXPECT_DOUBLE_EQ(p.Read(cpu3).value, 100.0);
    EXPECT_DOUBLE_EQ(p.Read(cpu0).value, 0.0) << "ERR is nobody's";

    // A row's 32-bit count wrapped: cpu3's sum goes backwards, which primes again.
    p.machine.Write("proc/interrupts", Interrupts(all, {timer, "LOC:   0   0   950   200   Local timer interrupts"}, 107));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(cpu2).value, 50.0);
    EXPECT_EQ(p.Read(cpu3).status, NoData);

    p.machine.Write("proc/interrupts", "");
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(cpu2).status, Unreadable);
    EXPECT_EQ(p.Read(total).status, Ok) << "the total does not need /proc/interrupts";
}

TEST(ProviderRatesTest, PagingAndFaultsAndContextSwitchesPerSecond)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle pages = p.Add("\\Memory\\Pages/sec");
    const PerfCounterHandle faults = p.Add("\\Memory\\Page Faults/sec");
    const PerfCounterHandle switches = p.Add("\\System\\Context Switches/sec");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(faults).status, NoData);
    EXPECT_EQ(p.Read(switches).status, NoData);

    p.machine.Write("proc/vmstat", "pswpin 1300\npswpout 700\npgfault 1431545\n");
    p.machine.Write("proc/stat", Stat({"cpu  1000 40 500 8000 200 50 50 60", Cpu0}, 255465));
    ASSERT_EQ(p.CollectAfter(2.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(pages).value, 250.0);
    EXPECT_DOUBLE_EQ(p.Read(faults).value, 3000.0);
    EXPECT_DOUBLE_EQ(p.Read(switches).value, 2000.0);

    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(faults).status, NoData) << "no time passed: no value";
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(faults).value, 0.0);

    p.machine.Write("proc/vmstat", "pswpin 1300\npswpout 700\npgfault 100\n");
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(faults).status, NoData) << "a counter going backwards is a reset";
    EXPECT_EQ(p.Read(pages).status, Ok);
    p.machine.Write("proc/vmstat", "pswpin 1300\npswpout 700\npgfault 600\n");
    ASSERT_EQ(p.CollectAfter(0.5), Ok);
    EXPECT_DOUBLE_EQ(p.Read(faults).value, 1000.0);
}

// Swap-ins, swap-outs, major faults and forks: each its own rate, each primed again on its own
// when its counter goes backwards or disappears.
TEST(ProviderRatesTest, SwapMajorFaultAndForkRates)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle input = p.Add("\\Memory\\Pages Input/sec");
    const PerfCounterHandle output = p.Add("\\Memory\\Pages Output/sec");
    const PerfCounterHandle reads = p.Add("\\Memory\\Page Reads/sec");
    const PerfCounterHandle forks = p.Add("\\System\\Forks/sec");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(forks).status, NoData);

    const auto stat = [](int processes) {
        return "cpu  1000 40 500 8000 200 50 50 60 0 0\nctxt 1\nprocesses " + std::to_string(processes) + "\n";
    };
    p.machine.Write("proc/vmstat", "pswpin 1300\npswpout 520\npgfault 1425545\npgmajfault 1100\n");
    p.machine.Write("proc/stat", stat(5087));
    ASSERT_EQ(p.CollectAfter(2.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(input).value, 150.0);
    EXPECT_DOUBLE_EQ(p.Read(output).value, 10.0);
    EXPECT_DOUBLE_EQ(p.Read(reads).value, 100.0);
    EXPECT_DOUBLE_EQ(p.Read(forks).value, 50.0);

    p.machine.Write("proc/vmstat", "pswpin 1300\npswpout 520\npgfault 1425545\npgmajfault 10\n");
    p.machine.Write("proc/stat", stat(10));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(reads).status, NoData) << "a counter going backwards is a reset";
    EXPECT_EQ(p.Read(forks).status, NoData);
    EXPECT_DOUBLE_EQ(p.Read(input).value, 0.0);

    p.machine.Write("proc/vmstat", "pswpin 1300\npgfault 1425545\npgmajfault 40\n");
    p.machine.Write("proc/stat", stat(30));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(reads).value, 30.0);
    EXPECT_DOUBLE_EQ(p.Read(forks).value, 20.0);
    EXPECT_EQ(p.Read(output).status, Unreadable) << "no pswpout line";
    EXPECT_EQ(p.Read(input).status, Ok);
}

std::string DiskStats(std::uint64_t sdaRead, std::uint64_t sdaWritten, std::uint64_t sdaTicks, std::string_view nvme)
{
    std::string text = "   7       0 loop0 10 0 20 0 0 0 0 0 0 5 5 0 0 0 0 0 0\n";
    text += "   8       0 sda 27550 5748 " + std::to_string(sdaRead) + " 5682 8198 6219 " + std::to_string(sdaWritten)
        + " 4872 0 " + std::to_string(sdaTicks) + " 11689 4207 39 107504 866 1005 268\n";
    text += "   8       1 sda1 100 0 2000 10 10 0 80 2 0 12 12 0 0 0 0 0 0\n";
    if (!nvme.empty())
        text.append(nvme).append("\n");
    return text;
}

constexpr std::string_view NvmeBefore = " 259       0 nvme0n1 5000 0 400000 900 2000 0 100000 300 0 4294966796 1200 0";
constexpr std::string_view NvmeWrapped = " 259       0 nvme0n1 5000 0 401000 900 2000 0 100000 300 0 500 1200 0";

TEST(ProviderRatesTest, DiskBytesAndBusyTimeWithTheTicksWrapping)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle read = p.Add("\\PhysicalDisk(sda)\\Disk Read Bytes/sec");
    const PerfCounterHandle written = p.Add("\\PhysicalDisk(sda)\\Disk Write Bytes/sec");
    const PerfCounterHandle sdaTime = p.Add("\\PhysicalDisk(sda)\\% Disk Time");
    const PerfCounterHandle nvmeTime = p.Add("\\PhysicalDisk(nvme0n1)\\% Disk Time");
    const PerfCounterHandle totalTime = p.Add("\\PhysicalDisk(_Total)\\% Disk Time");
    const PerfCounterHandle totalRead = p.Add("\\PhysicalDisk(_Total)\\Disk Read Bytes/sec");
    const PerfCounterHandle partition = p.Add("\\PhysicalDisk(sda1)\\% Disk Time");
    const PerfCounterHandle loop = p.Add("\\PhysicalDisk(loop0)\\% Disk Time");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(totalTime).status, NoData);

    // 2 s: sda read 4096 sectors, wrote 2048, busy 500 ms; nvme0n1 io_ticks wrapped past 2^32
    // after 1000 ms of I/O and read 1000 sectors.
    p.machine.Write("proc/diskstats", DiskStats(2017770 + 4096, 602664 + 2048, 4836 + 500, NvmeWrapped));
    ASSERT_EQ(p.CollectAfter(2.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(read).value, 4096 * 512 / 2.0);
    EXPECT_DOUBLE_EQ(p.Read(written).value, 2048 * 512 / 2.0);
    EXPECT_DOUBLE_EQ(p.Read(sdaTime).value, 25.0);
    EXPECT_EQ(p.Read(nvmeTime).status, Ok);
    EXPECT_DOUBLE_EQ(p.Read(nvmeTime).value, 50.0);
    EXPECT_DOUBLE_EQ(p.Read(totalTime).value, 37.5) << "the mean over the disks";
    EXPECT_DOUBLE_EQ(p.Read(totalRead).value, (4096 + 1000) * 512 / 2.0) << "the sum over the disks";
    EXPECT_EQ(p.Read(partition).status, NoInstance);
    EXPECT_EQ(p.Read(loop).status, NoInstance);

    // Busier than the elapsed time (a late collection, rounding) is clamped to 100.
    p.machine.Write("proc/diskstats", DiskStats(2017770 + 4096, 602664 + 2048, 4836 + 500 + 3000, NvmeWrapped));
    ASSERT_EQ(p.CollectAfter(2.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(sdaTime).value, 100.0);
}

TEST(ProviderRatesTest, DiskThatDisappearsFailsAndPrimesAgainWhenBack)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle nvme = p.Add("\\PhysicalDisk(nvme0n1)\\Disk Read Bytes/sec");
    const PerfCounterHandle total = p.Add("\\PhysicalDisk(_Total)\\Disk Read Bytes/sec");
    ASSERT_EQ(p.Collect(), Ok);

    p.machine.Write("proc/diskstats", DiskStats(2017770 + 1000, 0, 0, ""));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(nvme).status, NoInstance);
    EXPECT_DOUBLE_EQ(p.Read(total).value, 1000 * 512.0) << "the remaining disk";

    p.machine.Write("proc/diskstats", DiskStats(2017770 + 2000, 0, 0, NvmeBefore));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(nvme).status, NoData) << "back: primes again";
    EXPECT_DOUBLE_EQ(p.Read(total).value, 1000 * 512.0) << "the returning disk sits out one collection";

    p.machine.Write("proc/diskstats", DiskStats(2017770 + 2000, 0, 0, NvmeWrapped));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(nvme).value, 1000 * 512.0);

    // Re-created under another minor number between two collections: a new disk, primed anew.
    p.machine.Write("proc/diskstats", DiskStats(2017770 + 2000, 0, 0,
                                                " 259       5 nvme0n1 5000 0 402000 900 2000 0 100000 300 0 500 1200 0"));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(nvme).status, NoData);

    // Sectors going backwards: a reset.
    p.machine.Write("proc/diskstats", DiskStats(2017770 + 2000, 0, 0,
                                                " 259       5 nvme0n1 5000 0 100 900 2000 0 100000 300 0 500 1200 0"));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(nvme).status, NoData);
    p.machine.Write("proc/diskstats", DiskStats(2017770 + 2000, 0, 0,
                                                " 259       5 nvme0n1 5000 0 300 900 2000 0 100000 300 0 500 1200 0"));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(nvme).value, 200 * 512.0);

    p.machine.Write("proc/diskstats", "   7       0 loop0 10 0 20 0 0 0 0 0 0 5 5 0 0 0 0 0 0\n");
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(total).status, Unreadable) << "no disk at all: _Total cannot be known";
}

std::string SdaAndNvme(const DiskCounts& sda, const DiskCounts& nvme)
{
    return DiskStatsLine(8, 0, "sda", sda) + DiskStatsLine(8, 2, "sda2", sda) + DiskStatsLine(259, 0, "nvme0n1", nvme);
}

// Rates and times per I/O of each disk and of _Total, over an interval with I/O, one without
// (averages have no value, rates are 0) and one where a counter went backwards.
TEST(ProviderRatesTest, DiskIoRatesAndAveragesPerIo)
{
    FixtureProvider p("machine-4cpu");
    const auto add = [&p](std::string_view instance, std::string_view counter) {
        return p.Add("\\PhysicalDisk(" + std::string(instance) + ")\\" + std::string(counter));
    };
    const PerfCounterHandle reads = add("sda", "Disk Reads/sec");
    const PerfCounterHandle writes = add("sda", "Disk Writes/sec");
    const PerfCounterHandle transfers = add("sda", "Disk Transfers/sec");
    const PerfCounterHandle bytes = add("sda", "Disk Bytes/sec");
    const PerfCounterHandle readTime = add("sda", "% Disk Read Time");
    const PerfCounterHandle writeTime = add("sda", "% Disk Write Time");
    const PerfCounterHandle idle = add("sda", "% Idle Time");
    const PerfCounterHandle secPerRead = add("sda", "Avg. Disk sec/Read");
    const PerfCounterHandle secPerWrite = add("sda", "Avg. Disk sec/Write");
    const PerfCounterHandle secPerTransfer = add("sda", "Avg. Disk sec/Transfer");
    const PerfCounterHandle bytesPerTransfer = add("sda", "Avg. Disk Bytes/Transfer");
    const PerfCounterHandle queueNow = add("sda", "Current Disk Queue Length");
    const PerfCounterHandle queue = add("sda", "Avg. Disk Queue Length");
    const PerfCounterHandle nvmeSecPerWrite = add("nvme0n1", "Avg. Disk sec/Write");
    const PerfCounterHandle totalReads = add("_Total", "Disk Reads/sec");
    const PerfCounterHandle totalSecPerRead = add("_Total", "Avg. Disk sec/Read");
    const PerfCounterHandle totalSecPerWrite = add("_Total", "Avg. Disk sec/Write");
    const PerfCounterHandle totalIdle = add("_Total", "% Idle Time");
    const PerfCounterHandle totalQueueNow = add("_Total", "Current Disk Queue Length");
    const PerfCounterHandle totalQueue = add("_Total", "Avg. Disk Queue Length");

    const DiskCounts sda{1000, 8000, 500, 2000, 16000, 3000, 2, 100, 4000};
    const DiskCounts nvme{100, 800, 10, 0, 0, 0, 0, 10, 10};
    p.machine.Write("proc/diskstats", SdaAndNvme(sda, nvme));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(reads).status, NoData);
    EXPECT_EQ(p.Read(secPerRead).status, NoData);
    EXPECT_EQ(p.Read(queueNow).status, Ok) << "I/Os in progress is no rate";
    EXPECT_DOUBLE_EQ(p.Read(queueNow).value, 2.0);

    // 2 s: sda read 300 times (600 ms) and wrote 100 times (3000 ms, three writes at once),
    // busy 1000 ms; nvme0n1 read 100 times in 1000 ms and wrote nothing.
    const DiskCounts sda2{1300, 10400, 1100, 2100, 17600, 6000, 5, 1100, 9000};
    const DiskCounts nvme2{200, 1000, 1010, 0, 0, 0, 1, 210, 1010};
    p.machine.Write("proc/diskstats", SdaAndNvme(sda2, nvme2));
    ASSERT_EQ(p.CollectAfter(2.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(reads).value, 150.0);
    EXPECT_DOUBLE_EQ(p.Read(writes).value, 50.0);
    EXPECT_DOUBLE_EQ(p.Read(transfers).value, 200.0);
    EXPECT_DOUBLE_EQ(p.Read(bytes).value, (2400.0 + 1600.0) * 512 / 2);
    EXPECT_DOUBLE_EQ(p.Read(readTime).value, 30.0);
    EXPECT_DOUBLE_EQ(p.Read(writeTime).value, 150.0) << "overlapping writes: not clamped";
    EXPECT_DOUBLE_EQ(p.Read(idle).value, 50.0);
    EXPECT_DOUBLE_EQ(p.Read(secPerRead).value, 0.002);
    EXPECT_DOUBLE_EQ(p.Read(secPerWrite).value, 0.03);
    EXPECT_DOUBLE_EQ(p.Read(secPerTransfer).value, 3600.0 / 400 / 1000);
    EXPECT_DOUBLE_EQ(p.Read(bytesPerTransfer).value, 4000.0 * 512 / 400);
    EXPECT_DOUBLE_EQ(p.Read(queueNow).value, 5.0);
    EXPECT_DOUBLE_EQ(p.Read(queue).value, 2.5);
    EXPECT_EQ(p.Read(nvmeSecPerWrite).status, NoData) << "no write completed";
    EXPECT_DOUBLE_EQ(p.Read(totalReads).value, 200.0);
    EXPECT_DOUBLE_EQ(p.Read(totalSecPerRead).value, 0.004) << "all the ms over all the reads, not a mean of means";
    EXPECT_DOUBLE_EQ(p.Read(totalSecPerWrite).value, 0.03) << "a disk without writes weighs nothing";
    EXPECT_DOUBLE_EQ(p.Read(totalIdle).value, 70.0) << "the mean over the disks";
    EXPECT_DOUBLE_EQ(p.Read(totalQueueNow).value, 6.0);
    EXPECT_DOUBLE_EQ(p.Read(totalQueue).value, 3.0);

    // 1 s without I/O: rates are 0, averages per I/O have no value.
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(reads).value, 0.0);
    EXPECT_DOUBLE_EQ(p.Read(queue).value, 0.0);
    EXPECT_DOUBLE_EQ(p.Read(idle).value, 100.0);
    for (PerfCounterHandle average : {secPerRead, secPerTransfer, bytesPerTransfer, totalSecPerRead})
        EXPECT_EQ(p.Read(average).status, NoData);

    // sda's reads go backwards: a reset for the counters that read them, not for the others.
    DiskCounts reset = sda2;
    reset.reads = 10;
    p.machine.Write("proc/diskstats", SdaAndNvme(reset, nvme2));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(reads).status, NoData);
    EXPECT_EQ(p.Read(secPerRead).status, NoData);
    EXPECT_EQ(p.Read(writes).status, Ok);
    EXPECT_DOUBLE_EQ(p.Read(totalReads).value, 0.0) << "the reset disk sits out, nvme0n1 did not read";
    reset.reads = 60;
    reset.readMs += 100;
    p.machine.Write("proc/diskstats", SdaAndNvme(reset, nvme2));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(reads).value, 50.0);
    EXPECT_DOUBLE_EQ(p.Read(secPerRead).value, 0.002);
}

std::string NetDev(std::string_view eth0Rx, std::string_view eth0Tx)
{
    std::string text = "Inter-|   Receive                                                |  Transmit\n"
                       " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop\n"
                       "    lo:    3267      29    0    0    0     0          0         0     3267      29    0    0\n";
    if (!eth0Rx.empty())
        text += "  eth0: " + std::string(eth0Rx) + " 1064 0 0 0 0 0 0 " + std::string(eth0Tx) + " 520 0 0 0 0 0 0\n";
    return text;
}

TEST(ProviderRatesTest, NetworkBytesAndBandwidth)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle bytes = p.Add("\\Network Interface(eth0)\\Bytes Total/sec");
    const PerfCounterHandle eth0Speed = p.Add("\\Network Interface(eth0)\\Current Bandwidth");
    const PerfCounterHandle wlanSpeed = p.Add("\\Network Interface(wlan0)\\Current Bandwidth");
    const PerfCounterHandle loSpeed = p.Add("\\Network Interface(lo)\\Current Bandwidth");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(bytes).status, NoData);
    EXPECT_EQ(p.Read(eth0Speed).status, Ok) << "not a rate: known at once";
    EXPECT_DOUBLE_EQ(p.Read(eth0Speed).value, 1e9);
    EXPECT_EQ(p.Read(wlanSpeed).status, Unreadable) << "speed -1: unknown, not a number";
    EXPECT_EQ(p.Read(loSpeed).status, Unreadable) << "no speed file";

    p.machine.Write("proc/net/dev", NetDev("37958825", "1043772"));
    ASSERT_EQ(p.CollectAfter(2.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(bytes).value, 1e6);

    // The interface is re-created (new index) between two collections: primed anew.
    p.machine.Write("sys/class/net/eth0/ifindex", "7\n");
    p.machine.Write("proc/net/dev", NetDev("37959825", "1043772"));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(bytes).status, NoData);
    p.machine.Write("proc/net/dev", NetDev("37961825", "1043772"));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(bytes).value, 2000.0);

    // Gone, then back.
    p.machine.Write("proc/net/dev", NetDev("", ""));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(bytes).status, NoInstance);
    EXPECT_EQ(p.Read(eth0Speed).status, NoInstance);
    p.machine.Write("proc/net/dev", NetDev("100", "100"));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(bytes).status, NoData);
    p.machine.Write("proc/net/dev", NetDev("600", "100"));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(bytes).value, 500.0);

    p.machine.Write("sys/class/net/eth0/speed", "100\n");
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(eth0Speed).value, 100e6);
}

} // namespace
} // namespace quel::test
