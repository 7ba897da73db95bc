// Counters that are not rates: memory, paging file, system, objects and server sessions.

#include "fixture_machine.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sys/stat.h>

namespace quel::test {
namespace {

using namespace perf_status;

TEST(ProviderObjectsTest, MemoryCommitAgainstTheLimitOfTheOvercommitMode)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle inUse = p.Add("\\Memory\\% Committed Bytes In Use");
    const PerfCounterHandle available = p.Add("\\Memory\\Available Bytes");
    const PerfCounterHandle committed = p.Add("\\Memory\\Committed Bytes");
    const PerfCounterHandle limit = p.Add("\\Memory\\Commit Limit");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_DOUBLE_EQ(p.Read(inUse).value, 25.0) << "5000000 of MemTotal 16000000 + SwapTotal 4000000";
    EXPECT_EQ(p.Read(available).value, 10000000.0 * 1024);
    EXPECT_EQ(p.Read(committed).value, 5000000.0 * 1024);
    EXPECT_EQ(p.Read(limit).value, 20000000.0 * 1024);

    p.machine.Write("proc/sys/vm/overcommit_memory", "2\n");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_DOUBLE_EQ(p.Read(inUse).value, 100.0 * 5000000 / 12000000) << "strict: CommitLimit";
    EXPECT_EQ(p.Read(limit).value, 12000000.0 * 1024);

    // A kernel without MemAvailable: MemFree.
    p.machine.Write("proc/meminfo", "MemTotal: 1000 kB\nMemFree: 300 kB\nSwapTotal: 0 kB\nCommitLimit: 0 kB\n"
                                    "Committed_AS: 10 kB\n");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(available).value, 300.0 * 1024);
    EXPECT_EQ(p.Read(inUse).status, Unreadable) << "a limit of 0 is never divided by";

    p.machine.Write("proc/meminfo", "garbage\n");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(available).status, Unreadable);
    EXPECT_EQ(p.Read(committed).status, Unreadable);
}

// KiB of /proc/meminfo become bytes x 1024, KBytes as they are, MBytes / 1024 without rounding;
// a sum whose field an older kernel lacks is a failed read, not a smaller number.
TEST(ProviderObjectsTest, MemoryListsInExactUnitsAndNoPartialSums)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle kbytes = p.Add("\\Memory\\Available KBytes");
    const PerfCounterHandle mbytes = p.Add("\\Memory\\Available MBytes");
    const PerfCounterHandle cache = p.Add("\\Memory\\Cache Bytes");
    const PerfCounterHandle free = p.Add("\\Memory\\Free & Zero Page List Bytes");
    const PerfCounterHandle modified = p.Add("\\Memory\\Modified Page List Bytes");
    const PerfCounterHandle paged = p.Add("\\Memory\\Pool Paged Bytes");
    const PerfCounterHandle nonpaged = p.Add("\\Memory\\Pool Nonpaged Bytes");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(kbytes).value, 10000000.0);
    EXPECT_EQ(p.Read(mbytes).value, 9765.625);
    EXPECT_EQ(p.Read(cache).value, (3000000.0 + 20000 + 400000) * 1024) << "Cached + Buffers + SReclaimable";
    EXPECT_EQ(p.Read(free).value, 6000000.0 * 1024);
    EXPECT_EQ(p.Read(modified).value, (168.0 + 12) * 1024) << "Dirty + Writeback";
    EXPECT_EQ(p.Read(paged).value, 400000.0 * 1024);
    EXPECT_EQ(p.Read(nonpaged).value, 100000.0 * 1024);

    p.machine.Write("proc/meminfo", "MemTotal: 1000 kB\nMemFree: 300 kB\nBuffers: 10 kB\nCached: 100 kB\n"
                                    "Dirty: 4 kB\nSUnreclaim: 20 kB\n");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(mbytes).value, 300.0 / 1024) << "MemFree without MemAvailable";
    EXPECT_EQ(p.Read(cache).status, Unreadable) << "no SReclaimable";
    EXPECT_EQ(p.Read(paged).status, Unreadable);
    EXPECT_EQ(p.Read(modified).status, Unreadable) << "no Writeback";
    EXPECT_EQ(p.Read(nonpaged).value, 20.0 * 1024);

    p.machine.Write("proc/meminfo", "MemTotal: 1000 kB\nBuffers: 1 kB\nCached: 18446744073709551615 kB\n"
                                    "SReclaimable: 1 kB\n");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(cache).status, Unreadable) << "a sum beyond 64 bits never wraps to a small number";
}

TEST(ProviderObjectsTest, AFifoInPlaceOfACounterFileIsAFailedReadNotAHang)
{
    // Without a writer, reading a FIFO would block the sampling thread for ever.
    FixtureProvider p("machine-4cpu");
    const std::string meminfo = p.machine.ProcRoot() + "/meminfo";
    const std::string original = ReadFile(meminfo);
    p.machine.Remove("proc/meminfo");
    ASSERT_EQ(::mkfifo(meminfo.c_str(), 0600), 0);
    const PerfCounterHandle available = p.Add("\\Memory\\Available Bytes");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(available).status, Unreadable);

    // Once the file is back, it is read again.
    std::filesystem::remove(meminfo);
    p.machine.Write("proc/meminfo", original);
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(available).value, 10000000.0 * 1024);
}

TEST(ProviderObjectsTest, CommitMayExceedAHundredPercent)
{
    FixtureProvider p("machine-1cpu");
    const PerfCounterHandle inUse = p.Add("\\Memory\\% Committed Bytes In Use");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_DOUBLE_EQ(p.Read(inUse).value, 125.0);
}

TEST(ProviderObjectsTest, PagingFileUsageTotalAndPeak)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle partition = p.Add("\\Paging File(/dev/sda3)\\% Usage");
    const PerfCounterHandle file = p.Add("\\Paging File(/swap file)\\% Usage");
    const PerfCounterHandle total = p.Add("\\Paging File(_Total)\\% Usage");
    const PerfCounterHandle filePeak = p.Add("\\Paging File(/swap file)\\% Usage Peak");
    const PerfCounterHandle totalPeak = p.Add("\\Paging File(_Total)\\% Usage Peak");
    const PerfCounterHandle missing = p.Add("\\Paging File(/swap)\\% Usage");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_DOUBLE_EQ(p.Read(partition).value, 25.0);
    EXPECT_DOUBLE_EQ(p.Read(file).value, 50.0);
    EXPECT_DOUBLE_EQ(p.Read(total).value, 31.25) << "sum used / sum size, not the mean of 25 and 50";
    EXPECT_DOUBLE_EQ(p.Read(filePeak).value, 50.0);
    EXPECT_EQ(p.Read(missing).status, NoInstance);

    p.machine.Write("proc/swaps", "Filename Type Size Used Priority\n"
                                  "/dev/sda3 partition 3000000 0 -2\n/swap\\040file file 1000000 100000 -3\n");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_DOUBLE_EQ(p.Read(file).value, 10.0);
    EXPECT_DOUBLE_EQ(p.Read(filePeak).value, 50.0) << "the highest seen";
    EXPECT_DOUBLE_EQ(p.Read(total).value, 2.5);
    EXPECT_DOUBLE_EQ(p.Read(totalPeak).value, 31.25);

    p.machine.Write("proc/swaps", "Filename Type Size Used Priority\n/dev/sda3 partition 0 0 -2\n");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(partition).status, Unreadable) << "size 0: never 0/0";
    EXPECT_EQ(p.Read(file).status, NoInstance);
    EXPECT_EQ(p.Read(total).status, Unreadable);
}

TEST(ProviderObjectsTest, WithoutSwapTheTotalFails)
{
    FixtureProvider p("machine-1cpu");
    const PerfCounterHandle total = p.Add("\\Paging File(_Total)\\% Usage");
    const PerfCounterHandle peak = p.Add("\\Paging File(_Total)\\% Usage Peak");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(total).status, Unreadable);
    EXPECT_EQ(p.Read(peak).status, Unreadable);
}

TEST(ProviderObjectsTest, SystemAndObjects)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle queue = p.Add("\\System\\Processor Queue Length");
    const PerfCounterHandle uptime = p.Add("\\System\\System Up Time");
    const PerfCounterHandle registry = p.Add("\\System\\% Registry Quota In Use");
    const PerfCounterHandle processes = p.Add("\\Objects\\Processes");
    const PerfCounterHandle threads = p.Add("\\Objects\\Threads");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(queue).value, 3.0) << "7 running on 4 CPUs";
    EXPECT_DOUBLE_EQ(p.Read(uptime).value, 12345.67);
    EXPECT_EQ(p.Read(registry).status, Unreadable) << "Linux has no registry";
    EXPECT_EQ(p.Read(processes).value, 5.0);
    EXPECT_EQ(p.Read(threads).value, 412.0);

    p.machine.Write("proc/stat", "cpu  1 0 0 1\ncpu0 1 0 0 1\nprocs_running 0\n");
    p.machine.Write("proc/loadavg", "0.00 0.00 0.00 1/\n");
    p.machine.Write("proc/99/comm", "new\n");
    p.machine.Write("proc/uptime", "not a number\n");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(queue).value, 0.0) << "never negative";
    EXPECT_EQ(p.Read(processes).value, 6.0);
    EXPECT_EQ(p.Read(threads).status, Unreadable);
    EXPECT_EQ(p.Read(uptime).status, Unreadable);
}

// System's Processes and Threads are the Objects counters themselves; Procs Blocked is a level.
TEST(ProviderObjectsTest, SystemCountsProcessesAndThreadsAsObjectsDoes)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle processes = p.Add("\\System\\Processes");
    const PerfCounterHandle threads = p.Add("\\System\\Threads");
    const PerfCounterHandle objectsProcesses = p.Add("\\Objects\\Processes");
    const PerfCounterHandle blocked = p.Add("\\System\\Procs Blocked");
    p.machine.Write("proc/stat", "cpu  1 0 0 1\ncpu0 1 0 0 1\nprocs_running 2\nprocs_blocked 3\n");
    p.machine.Write("proc/99/comm", "new\n");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(processes).value, 6.0);
    EXPECT_EQ(p.Read(objectsProcesses).value, 6.0);
    EXPECT_EQ(p.Read(threads).value, 412.0);
    EXPECT_EQ(p.Read(blocked).value, 3.0);

    p.machine.Write("proc/stat", "cpu  1 0 0 1\ncpu0 1 0 0 1\nprocs_running 2\n");
    p.machine.Write("proc/loadavg", "0.00 0.00 0.00 1/\n");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(blocked).status, Unreadable) << "no procs_blocked line";
    EXPECT_EQ(p.Read(threads).status, Unreadable);
}

// Values no kernel writes but a corrupted or fake tree can: they are failed reads, never numbers.
TEST(ProviderObjectsTest, ImpossibleValuesAreFailedReads)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle uptime = p.Add("\\System\\System Up Time");
    const PerfCounterHandle partition = p.Add("\\Paging File(/dev/sda3)\\% Usage");
    const PerfCounterHandle partitionPeak = p.Add("\\Paging File(/dev/sda3)\\% Usage Peak");
    const PerfCounterHandle total = p.Add("\\Paging File(_Total)\\% Usage");
    const PerfCounterHandle inUse = p.Add("\\Memory\\% Committed Bytes In Use");
    const PerfCounterHandle limit = p.Add("\\Memory\\Commit Limit");
    for (const char* text : {"-5.00 1.00\n", "nan 1.00\n", "inf 1.00\n", "-inf 1.00\n", "1e999 1.00\n"}) {
        p.machine.Write("proc/uptime", text);
        ASSERT_EQ(p.Collect(), Ok);
        EXPECT_EQ(p.Read(uptime).status, Unreadable) << text;
    }

    // Used beyond the size (500 %), and sizes whose sum wraps to a small number.
    p.machine.Write("proc/swaps", "Filename Type Size Used Priority\n"
                                  "/dev/sda3 partition 1000 5000 -2\n/swap\\040file file 1000 10 -3\n");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(partition).status, Unreadable);
    EXPECT_DOUBLE_EQ(p.Read(partitionPeak).value, 25.0) << "the peak seen before, not 500";
    EXPECT_EQ(p.Read(total).status, Unreadable);
    p.machine.Write("proc/swaps", "Filename Type Size Used Priority\n"
                                  "/dev/sda3 partition 18446744073709551615 10 -2\n/swap\\040file file 2 1 -3\n");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(total).status, Unreadable);

    // MemTotal + SwapTotal beyond 2^64 KiB would wrap to 5 KiB: 5x10^8 %.
    p.machine.Write("proc/meminfo", "MemTotal: 18446744073709551615 kB\nMemAvailable: 1 kB\n"
                                    "SwapTotal: 6 kB\nCommitLimit: 1 kB\nCommitted_AS: 25000000 kB\n");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(inUse).status, Unreadable);
    EXPECT_EQ(p.Read(limit).status, Unreadable);
}

TEST(ProviderObjectsTest, ServerSessionsAreReadAtMostEveryTenSeconds)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle sessions = p.Add("\\Server\\Server Sessions");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(sessions).value, 3.0) << "established on 445 and 139, over IPv4 and IPv6";

    p.machine.Write("proc/net/tcp6", "  sl  local_address remote_address st\n"
                                     "   0: 0000000000000000FFFF00000F00000A:01BD 0000000000000000FFFF00002400000A:C354 01\n"
                                     "   1: 0000000000000000FFFF00000F00000A:008B 0000000000000000FFFF00002400000A:C355 01\n");
    ASSERT_EQ(p.CollectAfter(9.0), Ok);
    EXPECT_EQ(p.Read(sessions).value, 3.0) << "the value of the last reading is reused";
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(sessions).value, 4.0);

    // The in-kernel SMB server's own count wins when it is there.
    p.machine.Write("proc/fs/ksmbd/server", "state: running\nsessions: 12\n");
    ASSERT_EQ(p.CollectAfter(10.0), Ok);
    EXPECT_EQ(p.Read(sessions).value, 12.0);

    // Without a sessions line it is not the count we want: back to the TCP tables.
    p.machine.Write("proc/fs/ksmbd/server", "state: stopped\n");
    ASSERT_EQ(p.CollectAfter(10.0), Ok);
    EXPECT_EQ(p.Read(sessions).value, 4.0);

    FixtureMachine bare("machine-1cpu");
    bare.Remove("proc/net");
    LinuxPerfDataSource source(bare.ProcRoot(), bare.SysRoot());
    PerfQueryHandle query = nullptr;
    PerfCounterHandle counter = nullptr;
    ASSERT_EQ(source.OpenQuery(query), Ok);
    source.AddCounter(query, "\\Server\\Server Sessions", counter);
    ASSERT_EQ(source.CollectQueryData(query), Ok);
    double value = 0.0;
    EXPECT_EQ(source.GetFormattedCounterValue(counter, value), Unreadable);
    source.CloseQuery(query);
}

TEST(ProviderObjectsTest, GarbageInEveryFileNeverCrashes)
{
    FixtureProvider p("machine-4cpu");
    std::vector<PerfCounterHandle> counters;
    for (std::string_view path : {"\\Processor(0)\\% Processor Time", "\\Processor(_Total)\\% Idle Time",
                                  "\\Memory\\Pages/sec", "\\Paging File(_Total)\\% Usage", "\\System\\Processor Queue Length",
                                  "\\Objects\\Threads", "\\PhysicalDisk(_Total)\\% Disk Time",
                                  "\\PhysicalDisk(sda)\\% Disk Time", "\\Network Interface(eth0)\\Bytes Total/sec",
                                  "\\Network Interface(eth0)\\Current Bandwidth"})
        counters.push_back(p.Add(path));
    ASSERT_EQ(p.Collect(), Ok);
    const std::string garbage[] = {"", "\n\n", "cpu\ncpu0 x y\ncpu99999999999999999999 1 2 3 4\n:::\n",
                                   "  :  \n 1 2\n8 0 sda 1 2\n-1 -1 x 1 2 3 4 5 6 7 8 9 10 11\n",
                                   std::string(70000, '9'), "\\\\\\\\\n\\0\\777 \\04"};
    for (const std::string& text : garbage) {
        for (std::string_view file : {"proc/stat", "proc/meminfo", "proc/vmstat", "proc/swaps", "proc/loadavg",
                                      "proc/net/dev", "proc/net/tcp", "proc/diskstats", "sys/class/net/eth0/speed",
                                      "sys/class/net/eth0/ifindex"})
            p.machine.Write(file, text);
        ASSERT_EQ(p.CollectAfter(10.0), Ok);
        for (std::size_t i = 0; i < counters.size(); ++i) {
            const Reading reading = p.Read(counters[i]);
            if (text.empty())
                EXPECT_NE(reading.status, Ok) << i;
            else
                EXPECT_TRUE(reading.status != Ok || std::isfinite(reading.value)) << i;
        }
    }
}

} // namespace
} // namespace quel::test
