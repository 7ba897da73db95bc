// The Process object: instances by name summing their processes, kernel threads left out, names
// the path grammar must keep whole, rates taken per process across processes that end, start
// or take a PID again, unreadable files; and one real process burning a processor.

#include "fixture_machine.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace quel::test {
namespace {

using namespace perf_status;

struct Proc {
    unsigned pid;
    std::string name;
    std::uint64_t utime = 0, stime = 0, minflt = 0, start = 100, rssPages = 10;
    std::uint64_t threads = 1;
    bool kernel = false;
};

std::string StatText(const Proc& p)
{
    const unsigned flags = p.kernel ? 0x208040 : 0x400100;
    const std::uint64_t vsize = p.kernel ? 0 : 1048576 * p.threads;
    return std::to_string(p.pid) + " (" + p.name + ") S 1 1 1 0 -1 " + std::to_string(flags) + " "
        + std::to_string(p.minflt) + " 0 0 0 " + std::to_string(p.utime) + " " + std::to_string(p.stime)
        + " 0 0 20 0 " + std::to_string(p.threads) + " 0 " + std::to_string(p.start) + " " + std::to_string(vsize)
        + " 0 18446744073709551615 1 1 0 0 0 0 0 4096 0 0 0 0 17 0 0 0 0 0 0\n";
}

class ProcessMachine {
public:
    explicit ProcessMachine(FixtureProvider& p) : p_(p)
    {
        // Only the processes the test writes.
        for (const char* pid : {"1", "2", "17", "315", "4242"})
            p_.machine.Remove(std::string("proc/") + pid);
    }
    void Put(const Proc& proc, std::optional<std::uint64_t> rchar = 0)
    {
        const std::string dir = "proc/" + std::to_string(proc.pid);
        p_.machine.Write(dir + "/stat", StatText(proc));
        p_.machine.Write(dir + "/statm", "300 " + std::to_string(proc.rssPages) + " 5 20 0 80 0\n");
        if (rchar)
            p_.machine.Write(dir + "/io", "rchar: " + std::to_string(*rchar) + "\nwchar: 7\nsyscr: 1\nsyscw: 1\n");
        else
            p_.machine.Remove(dir + "/io");
    }
    void End(unsigned pid) { p_.machine.Remove("proc/" + std::to_string(pid)); }

private:
    FixtureProvider& p_;
};

TEST(ProcessTest, InstancesAreNamesSummingTheirProcessesWithoutKernelThreads)
{
    FixtureProvider p("machine-4cpu");
    ProcessMachine m(p);
    m.Put({500, "worker", 0, 0, 0, 100, 10, 2});
    m.Put({501, "worker", 0, 0, 0, 90, 20, 3});
    m.Put({7, "kworker/0:1", 0, 0, 0, 5, 0, 1, true});
    m.Put({88, "odd) (name\\x", 0, 0, 0, 50, 4, 1});

    EXPECT_EQ(p.Instances("Process"), (std::vector<std::string>{"odd) (name\\x", "worker", "_Total"}));
    const PerfCounterHandle set = p.Add("\\Process(worker)\\Working Set");
    const PerfCounterHandle threads = p.Add("\\Process(worker)\\Thread Count");
    const PerfCounterHandle count = p.Add("\\Process(worker)\\Process Count");
    const PerfCounterHandle id = p.Add("\\Process(worker)\\ID Process");
    const PerfCounterHandle elapsed = p.Add("\\Process(worker)\\Elapsed Time");
    const PerfCounterHandle odd = p.Add("\\Process(odd) (name\\x)\\Working Set");
    const PerfCounterHandle total = p.Add("\\Process(_Total)\\Process Count");
    const PerfCounterHandle kernel = p.Add("\\Process(kworker/0:1)\\Process Count");
    ASSERT_EQ(p.Collect(), Ok);
    const double page = static_cast<double>(::sysconf(_SC_PAGESIZE));
    EXPECT_DOUBLE_EQ(p.Read(set).value, 30 * page);
    EXPECT_EQ(p.Read(threads).value, 5.0);
    EXPECT_EQ(p.Read(count).value, 2.0);
    EXPECT_EQ(p.Read(id).value, 500.0);
    // The oldest started 90 ticks after boot; the fixture's uptime is 12345.67 s.
    EXPECT_NEAR(p.Read(elapsed).value, 12345.67 - 90.0 / static_cast<double>(::sysconf(_SC_CLK_TCK)), 1e-6);
    EXPECT_DOUBLE_EQ(p.Read(odd).value, 4 * page);
    EXPECT_EQ(p.Read(total).value, 3.0) << "the kernel thread is left out";
    EXPECT_EQ(p.Read(kernel).status, NoInstance);

    m.End(500);
    m.End(501);
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(set).status, NoInstance) << "every worker ended";
    EXPECT_EQ(p.Read(total).value, 1.0);
}

TEST(ProcessTest, RatesSumPerProcessDeltasAcrossProcessesThatEndStartOrReuseAPid)
{
    FixtureProvider p("machine-4cpu");
    ProcessMachine m(p);
    const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK));
    m.Put({500, "worker", 100, 50, 1000}, 5000);
    m.Put({501, "worker", 900, 900, 9000}, 7000);
    m.Put({502, "worker", 0, 0, 0}, std::nullopt);  // io unreadable (another user's process)
    m.Put({600, "quiet", 0, 0, 0}, std::nullopt);
    const PerfCounterHandle cpu = p.Add("\\Process(worker)\\% Processor Time");
    const PerfCounterHandle user = p.Add("\\Process(worker)\\% User Time");
    const PerfCounterHandle faults = p.Add("\\Process(worker)\\Page Faults/sec");
    const PerfCounterHandle read = p.Add("\\Process(worker)\\IO Read Bytes/sec");
    const PerfCounterHandle quietIo = p.Add("\\Process(quiet)\\IO Data Bytes/sec");
    const PerfCounterHandle totalCpu = p.Add("\\Process(_Total)\\% Processor Time");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(cpu).status, NoData) << "the first collection primes";
    EXPECT_EQ(p.Read(quietIo).status, Unreadable) << "nothing of the instance can be read";

    // 500 runs 2 s worth of ticks in 2 s (one processor); 501 ends; 503 starts with a large
    // count it earned before the baseline; 502's io stays unreadable.
    m.Put({500, "worker", 100 + static_cast<std::uint64_t>(ticks), 50 + static_cast<std::uint64_t>(ticks), 1400}, 9000);
    m.End(501);
    m.Put({503, "worker", 5000, 5000, 50000}, 1 << 30);
    ASSERT_EQ(p.CollectAfter(2.0), Ok);
    EXPECT_NEAR(p.Read(cpu).value, 100.0, 1e-9);
    EXPECT_NEAR(p.Read(user).value, 50.0, 1e-9);
    EXPECT_NEAR(p.Read(faults).value, 200.0, 1e-9);
    EXPECT_NEAR(p.Read(read).value, 2000.0, 1e-9) << "only 500 counts: 501 ended, 503 primes, 502 unreadable";
    EXPECT_NEAR(p.Read(totalCpu).value, 100.0, 1e-9);

    // PID 500 is taken by a new worker with smaller counts: it primes, it is not a negative rate.
    m.Put({500, "worker", 3, 3, 3, 777}, 3);
    m.Put({503, "worker", 5000 + static_cast<std::uint64_t>(ticks) / 2, 5000, 50000}, (1 << 30) + 4000);
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_NEAR(p.Read(cpu).value, 50.0, 1e-9);
    EXPECT_NEAR(p.Read(read).value, 4000.0, 1e-9);
    EXPECT_EQ(p.Read(faults).value, 0.0);
}

// The fixture's processes as the kernel prints them: status fields in kB, open descriptors, and
// _Total leaving out what one process does not let us read.
TEST(ProcessTest, StatusAndDescriptorValuesOfTheFixtureProcesses)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle set = p.Add("\\Process(proc315)\\Working Set");
    const PerfCounterHandle own = p.Add("\\Process(proc315)\\Working Set - Private");
    const PerfCounterHandle privateBytes = p.Add("\\Process(proc315)\\Private Bytes");
    const PerfCounterHandle swapped = p.Add("\\Process(proc315)\\Page File Bytes");
    const PerfCounterHandle handles = p.Add("\\Process(proc315)\\Handle Count");
    const PerfCounterHandle allHandles = p.Add("\\Process(_Total)\\Handle Count");
    const PerfCounterHandle virtualBytes = p.Add("\\Process(proc17)\\Virtual Bytes");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(set).value, 48000.0 * 1024);
    EXPECT_EQ(p.Read(own).value, (30000.0 + 2000) * 1024);
    EXPECT_EQ(p.Read(privateBytes).value, (30000.0 + 512) * 1024);
    EXPECT_EQ(p.Read(swapped).value, 512.0 * 1024);
    EXPECT_EQ(p.Read(handles).value, 12.0);
    EXPECT_EQ(p.Read(allHandles).value, 4.0 + 3 + 12 + 3) << "the kernel thread proc2 is left out";
    EXPECT_EQ(p.Read(virtualBytes).value, 23456.0 * 1024);

    p.machine.Remove("proc/315/fd");  // as another user's process looks to a user other than root
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(handles).status, Unreadable);
    EXPECT_EQ(p.Read(allHandles).value, 4.0 + 3 + 3);
}

double CpuSeconds(clockid_t clock)
{
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double WallSeconds()
{
    return CpuSeconds(CLOCK_MONOTONIC);
}

// A user's own process as the kernel shows it: a copy of the shell under a name of its own
// spinning on one processor.
TEST(ProcessTest, RealBusyProcessReadsOneProcessorAndItsResidentSize)
{
    TempFolder folder;
    const std::string name = "quelburn" + std::to_string(::getpid() % 10000000);
    const std::filesystem::path shell = folder.Path() / name;
    std::filesystem::copy_file("/bin/sh", shell);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl(shell.c_str(), name.c_str(), "-c", "while :; do :; done", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    LinuxPerfDataSourceOptions options;
    options.procRoot = "/proc";
    options.sysRoot = "/sys";
    LinuxPerfDataSource source(options);
    PerfQueryHandle query = nullptr;
    ASSERT_EQ(source.OpenQuery(query), Ok);
    PerfCounterHandle cpu = nullptr, set = nullptr, id = nullptr;
    source.AddCounter(query, "\\Process(" + name + ")\\% Processor Time", cpu);
    source.AddCounter(query, "\\Process(" + name + ")\\Working Set", set);
    source.AddCounter(query, "\\Process(" + name + ")\\ID Process", id);
    // Until the child has exec'd it has the test's name.
    double value = 0.0;
    for (int tries = 0; tries < 200 && source.GetFormattedCounterValue(id, value) != Ok; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        source.CollectQueryData(query);
    }
    EXPECT_EQ(value, static_cast<double>(child));
    // The child's CPU time from its CPU clock, a source other than procfs, over the same interval.
    clockid_t childClock{};
    ASSERT_EQ(::clock_getcpuclockid(child, &childClock), 0);
    const double cpu0 = CpuSeconds(childClock);
    const double wall0 = WallSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    ASSERT_EQ(source.CollectQueryData(query), Ok);
    const double busyPercent = 100.0 * (CpuSeconds(childClock) - cpu0) / (WallSeconds() - wall0);

    ASSERT_EQ(source.GetFormattedCounterValue(cpu, value), Ok);
    // A spinning process is busy all the time it is given: near 100 on an idle machine, less
    // on one shared with other work; either way what its CPU clock counted.
    EXPECT_GT(value, 5.0);
    EXPECT_NEAR(value, busyPercent, 15.0);
    ASSERT_EQ(source.GetFormattedCounterValue(set, value), Ok);
    std::ifstream status("/proc/" + std::to_string(child) + "/status");
    double rssKb = -1;
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:"))
            rssKb = std::stod(line.substr(6));
    }
    EXPECT_NEAR(value, rssKb * 1024, static_cast<double>(::sysconf(_SC_PAGESIZE)));

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

} // namespace
} // namespace quel::test
