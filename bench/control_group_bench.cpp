// Cost of the Control Group object over a generated hierarchy of 200 groups (20 slices of 9
// services, in a temporary tree that stands in for /proc and /sys): one collection of 6 counters
// on 3 groups, the same 6 counters on each of the 3 groups, and one enumeration (the walk of
// the whole hierarchy).
//
//   build/bench/control_group_bench --benchmark_min_time=2

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

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path) << content;
}

void WriteGroup(const fs::path& folder, int seed)
{
    const std::string n = std::to_string(seed);
    WriteFile(folder / "cpu.stat", "usage_usec 1" + n + "000\nuser_usec " + n + "000\nsystem_usec 1000000\n"
                                   "nr_periods 0\nnr_throttled 0\nthrottled_usec 0\nnr_bursts 0\nburst_usec 0\n");
    WriteFile(folder / "memory.current", n + "4096\n");
    WriteFile(folder / "memory.max", seed % 2 == 0 ? "max\n" : "1073741824\n");
    WriteFile(folder / "memory.swap.current", "0\n");
    WriteFile(folder / "io.stat", "8:0 rbytes=" + n + "00 wbytes=" + n + "0 rios=3 wios=4 dbytes=0 dios=0\n"
                                  "259:0 rbytes=4096 wbytes=8192 rios=1 wios=2 dbytes=0 dios=0\n");
    WriteFile(folder / "pids.current", n + "\n");
    for (const char* resource : {"cpu", "memory", "io"})
        WriteFile(folder / (std::string(resource) + ".pressure"),
                  "some avg10=0.00 avg60=0.00 avg300=0.00 total=" + n + "\nfull avg10=0.00 avg60=0.00 avg300=0.00 total=0\n");
}

// A tree of 200 groups: 20 slices with 9 services each, plus a root.
class GroupTree {
public:
    GroupTree()
    {
        std::string pattern = (fs::temp_directory_path() / "quel-cgroup-bench-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        WriteFile(root_ / "proc/self/mountinfo", "26 1 254:0 / / rw - ext4 /dev/vda rw\n"
                                                 "36 22 0:46 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n");
        const fs::path cgroup = root_ / "sys/fs/cgroup";
        WriteGroup(cgroup, 0);
        for (int slice = 0; slice < 20; ++slice) {
            const fs::path folder = cgroup / ("slice-" + std::to_string(slice) + ".slice");
            WriteGroup(folder, slice);
            for (int service = 0; service < 9; ++service)
                WriteGroup(folder / ("service-" + std::to_string(service) + ".service"), slice * 10 + service);
        }
    }
    ~GroupTree() { fs::remove_all(root_); }

    LinuxPerfDataSourceOptions Options() const
    {
        LinuxPerfDataSourceOptions options;
        options.procRoot = (root_ / "proc").string();
        options.sysRoot = (root_ / "sys").string();
        options.hostName = "bench";
        return options;
    }

private:
    fs::path root_;
};

const std::vector<std::string> Counters = {"% Processor Time", "% User Time", "Memory Bytes",
                                           "IO Read Bytes/sec", "Processes", "% CPU Stalled"};
const std::vector<std::string> Groups = {"slice-3.slice", "slice-7.slice/service-4.service", "_Total"};

void Collect(benchmark::State& state, const std::vector<std::string>& paths)
{
    const GroupTree tree;
    LinuxPerfDataSource source(tree.Options());
    PerfQueryHandle query = nullptr;
    source.OpenQuery(query);
    TimeCollections(state, source, query, paths);
    source.CloseQuery(query);
}

std::string PathOf(const std::string& group, const std::string& counter)
{
    return "\\Control Group(" + group + ")\\" + counter;
}

// 6 counters spread over 3 groups, two each.
void SixCountersOnThreeGroups(benchmark::State& state)
{
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < Counters.size(); ++i)
        paths.push_back(PathOf(Groups[i % Groups.size()], Counters[i]));
    Collect(state, paths);
}

// The 6 counters on each of the 3 groups.
void SixCountersOnEachOfThreeGroups(benchmark::State& state)
{
    std::vector<std::string> paths;
    for (const std::string& group : Groups) {
        for (const std::string& counter : Counters)
            paths.push_back(PathOf(group, counter));
    }
    Collect(state, paths);
}

void EnumerateTwoHundredGroups(benchmark::State& state)
{
    const GroupTree tree;
    LinuxPerfDataSource source(tree.Options());
    std::vector<char> counters(4096);
    std::vector<char> instances(65536);
    for (auto _ : state) {
        std::size_t countersLength = counters.size();
        std::size_t instancesLength = instances.size();
        if (source.EnumObjectItems("Control Group", counters.data(), countersLength, instances.data(), instancesLength)
            != perf_status::Ok)
            state.SkipWithError("enumeration failed");
    }
}

BENCHMARK(SixCountersOnThreeGroups)->Unit(benchmark::kMicrosecond);
BENCHMARK(SixCountersOnEachOfThreeGroups)->Unit(benchmark::kMicrosecond);
BENCHMARK(EnumerateTwoHundredGroups)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace quel

BENCHMARK_MAIN();
