// Cost of one collection of Process counters over a generated proc tree of 500 processes (stat,
// statm, status, io and fd of each, as the kernel prints them): 8 counters on 4 named instances
// and _Total, then every Process counter, and a query without Process counters on the same tree,
// which must cost what it costs without any process at all (the table is not read).
//
//   build/bench/process_bench --benchmark_min_time=2

#include "bench/timed_collections.h"
#include "platform/linux_perf_data_source.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quel {
namespace {

constexpr int ProcessCount = 500;
const std::vector<std::string> NamedInstances = {"postgres", "nginx", "php-fpm", "chrome"};

void WriteFile(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path) << text;
}

// A proc root holding uptime, stat, meminfo and, when processes, 500 process folders: a fifth of
// them share the four named instances' names, the others have names of their own.
class ProcTree {
public:
    explicit ProcTree(bool processes)
    {
        // tmpfs, as procfs is memory: no disk file system work in the figures.
        char pattern[] = "/dev/shm/quel_process_bench_XXXXXX";
        root_ = ::mkdtemp(pattern);
        WriteFile(root_ / "uptime", "12345.67 40000.00\n");
        WriteFile(root_ / "stat", "cpu  1 0 1 100 0 0 0 0 0 0\ncpu0 1 0 1 100 0 0 0 0 0 0\nctxt 5\n");
        WriteFile(root_ / "meminfo", "MemTotal: 8000000 kB\nMemFree: 4000000 kB\nMemAvailable: 6000000 kB\n"
                                     "Committed_AS: 2000000 kB\nCommitLimit: 8000000 kB\nSwapTotal: 0 kB\n");
        for (int i = 0; processes && i < ProcessCount; ++i)
            AddProcess(1000 + i, i % 5 < 4 && i < 100 ? NamedInstances[i % 5] : "daemon" + std::to_string(i));
    }
    ~ProcTree() { std::filesystem::remove_all(root_); }
    std::string Root() const { return root_.string(); }

private:
    void AddProcess(int pid, const std::string& name)
    {
        const std::filesystem::path dir = root_ / std::to_string(pid);
        std::filesystem::create_directories(dir / "fd");
        const std::string p = std::to_string(pid);
        WriteFile(dir / "stat", p + " (" + name + ") S 1 " + p + " " + p
                                    + " 0 -1 4194560 52713 0 215 0 1234 567 0 0 20 0 4 0 98765 1011712000 12000 "
                                      "18446744073709551615 94251353870336 94251354023585 140724308587936 0 0 0 0 "
                                      "4096 81923 0 0 0 17 1 0 0 0 0 0 94251354073840 94251354084416 94251360075776 "
                                      "140724308591917 140724308591940 140724308591940 140724308594663 0\n");
        WriteFile(dir / "statm", "247000 12000 4500 147 0 535 0\n");
        std::string status = "Name:\t" + name + "\nUmask:\t0022\nState:\tS (sleeping)\nTgid:\t" + p + "\nPid:\t" + p
            + "\nPPid:\t1\nUid:\t1000\t1000\t1000\t1000\nGid:\t1000\t1000\t1000\t1000\nFDSize:\t64\n"
              "VmPeak:\t  989024 kB\nVmSize:\t  988000 kB\nVmLck:\t       0 kB\nVmPin:\t       0 kB\n"
              "VmHWM:\t   48100 kB\nVmRSS:\t   48000 kB\nRssAnon:\t   30000 kB\nRssFile:\t   16000 kB\n"
              "RssShmem:\t    2000 kB\nVmData:\t    2140 kB\nVmStk:\t     132 kB\nVmExe:\t     588 kB\n"
              "VmLib:\t    1808 kB\nVmPTE:\t      56 kB\nVmSwap:\t     512 kB\nHugetlbPages:\t       0 kB\n"
              "CoreDumping:\t0\nTHP_enabled:\t1\nThreads:\t4\nSigQ:\t0/15417\nSigPnd:\t0000000000000000\n"
              "ShdPnd:\t0000000000000000\nSigBlk:\t0000000000010000\nSigIgn:\t0000000000380004\n"
              "SigCgt:\t000000004b817efb\nCapInh:\t0000000000000000\nCapPrm:\t0000000000000000\n"
              "CapEff:\t0000000000000000\nCapBnd:\t000001ffffffffff\nCapAmb:\t0000000000000000\nNoNewPrivs:\t0\n"
              "Seccomp:\t0\nCpus_allowed:\tf\nCpus_allowed_list:\t0-3\nvoluntary_ctxt_switches:\t1510\n"
              "nonvoluntary_ctxt_switches:\t23\n";
        WriteFile(dir / "status", status);
        WriteFile(dir / "io", "rchar: 77777777\nwchar: 2222222\nsyscr: 86419\nsyscw: 3174\nread_bytes: 1048576\n"
                              "write_bytes: 4096\ncancelled_write_bytes: 0\n");
        for (int fd = 0; fd < 8; ++fd)
            WriteFile(dir / "fd" / std::to_string(fd), "");
    }

    std::filesystem::path root_;
};

std::vector<std::string> ProcessPaths(std::size_t counters)
{
    static const char* const names[] = {
        "% Processor Time", "% User Time", "% Privileged Time", "Working Set", "Working Set - Private",
        "Private Bytes", "Virtual Bytes", "Page File Bytes", "Thread Count", "Handle Count", "IO Read Bytes/sec",
        "IO Write Bytes/sec", "IO Data Bytes/sec", "Page Faults/sec", "Elapsed Time", "ID Process", "Process Count"};
    std::vector<std::string> instances = NamedInstances;
    instances.emplace_back("_Total");
    std::vector<std::string> paths;
    for (std::size_t c = 0; c < counters && c < std::size(names); ++c) {
        for (const std::string& instance : instances)
            paths.push_back("\\Process(" + instance + ")\\" + names[c]);
    }
    return paths;
}

const std::vector<std::string> OtherPaths = {"\\Processor(_Total)\\% Processor Time", "\\Processor(0)\\% User Time",
                                             "\\Memory\\Available Bytes", "\\Memory\\% Committed Bytes In Use",
                                             "\\System\\System Up Time"};

void Collect(benchmark::State& state, bool processes, const std::vector<std::string>& paths)
{
    ProcTree tree(processes);
    LinuxPerfDataSource source(tree.Root(), tree.Root() + "/sys");
    PerfQueryHandle query = nullptr;
    source.OpenQuery(query);
    TimeCollections(state, source, query, paths);
    source.CloseQuery(query);
}

void EightProcessCounters(benchmark::State& state)
{
    Collect(state, true, ProcessPaths(8));
}

void EveryProcessCounter(benchmark::State& state)
{
    Collect(state, true, ProcessPaths(17));
}

void NoProcessCounters500Processes(benchmark::State& state)
{
    Collect(state, true, OtherPaths);
}

void NoProcessCountersNoProcesses(benchmark::State& state)
{
    Collect(state, false, OtherPaths);
}

BENCHMARK(EightProcessCounters)->Unit(benchmark::kMicrosecond);
BENCHMARK(EveryProcessCounter)->Unit(benchmark::kMicrosecond);
BENCHMARK(NoProcessCounters500Processes)->Unit(benchmark::kMicrosecond);
BENCHMARK(NoProcessCountersNoProcesses)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace quel

BENCHMARK_MAIN();
