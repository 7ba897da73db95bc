// One collection of 32 counters spread over every object family, from this machine's /proc and
// /sys, against the raw read limit of the files those counters need: the same files read with
// pread on kept descriptors (and statvfs of the same volumes), with no parsing at all.
//
//   build/bench/catalog_bench --benchmark_min_time=2
//
// The ratio collection / limit is the provider's overhead over what any collector must pay.

#include "platform/linux_perf_data_source.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <string>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace quel {
namespace {

std::vector<std::string> Instances(PerfDataSource& source, const std::string& object)
{
    std::size_t countersLength = 0;
    std::size_t instancesLength = 0;
    source.EnumObjectItems(object, nullptr, countersLength, nullptr, instancesLength);
    std::vector<char> counters(countersLength);
    std::vector<char> instances(instancesLength);
    std::vector<std::string> names;
    if (source.EnumObjectItems(object, counters.data(), countersLength, instances.data(), instancesLength)
        != perf_status::Ok)
        return names;
    for (const char* name = instances.data(); *name != '\0'; name += names.back().size() + 1)
        names.emplace_back(name);
    return names;
}

std::string FirstInstance(PerfDataSource& source, const std::string& object, const std::string& fallback)
{
    for (const std::string& name : Instances(source, object)) {
        if (name != "_Total" && !(object == "Network Interface" && source.IsLoopbackInterface(name)))
            return name;
    }
    return fallback;
}

struct Machine {
    std::string cpu, disk, volume, nic;
    std::vector<std::string> volumes;
};

Machine Describe(PerfDataSource& source)
{
    Machine machine{FirstInstance(source, "Processor", "0"), FirstInstance(source, "PhysicalDisk", "sda"),
                    FirstInstance(source, "LogicalDisk", "/"), FirstInstance(source, "Network Interface", "eth0"), {}};
    for (const std::string& volume : Instances(source, "LogicalDisk")) {
        if (volume != "_Total")
            machine.volumes.push_back(volume);
    }
    return machine;
}

// 32 counters over every object family but the costly Server and the process scan.
std::vector<std::string> EveryFamily(const Machine& m)
{
    return {
        "\\Processor(_Total)\\% Processor Time", "\\Processor(_Total)\\% DPC Time",
        "\\Processor(_Total)\\% I/O Wait Time", "\\Processor(_Total)\\Interrupts/sec",
        "\\Processor(" + m.cpu + ")\\% Steal Time", "\\Memory\\Available MBytes", "\\Memory\\Cache Bytes",
        "\\Memory\\Modified Page List Bytes", "\\Memory\\Page Reads/sec", "\\Memory\\Pages/sec",
        "\\Paging File(_Total)\\% Usage", "\\System\\Context Switches/sec", "\\System\\Forks/sec",
        "\\System\\Procs Blocked", "\\System\\System Up Time", "\\Objects\\Threads",
        "\\PhysicalDisk(_Total)\\Disk Transfers/sec", "\\PhysicalDisk(_Total)\\Avg. Disk sec/Transfer",
        "\\PhysicalDisk(" + m.disk + ")\\Avg. Disk Queue Length", "\\LogicalDisk(_Total)\\% Free Space",
        "\\LogicalDisk(" + m.volume + ")\\Free Megabytes", "\\Network Interface(" + m.nic + ")\\Bytes Received/sec",
        "\\Network Interface(" + m.nic + ")\\Packets/sec", "\\IPv4\\Datagrams/sec", "\\IPv6\\Datagrams/sec",
        "\\UDPv4\\Datagrams/sec", "\\TCP\\Connections Established", "\\TCP\\Segments Retransmitted/sec",
        "\\TCP\\% Segments Retransmitted", "\\Pressure(cpu)\\% Some Stalled", "\\Pressure(memory)\\% Some Stalled",
        "\\Pressure(io)\\% Full Stalled",
    };
}

// The files the counters above read.
std::vector<std::string> FilesOf(const Machine& m)
{
    return {"/proc/stat",         "/proc/meminfo",         "/proc/vmstat",         "/proc/swaps",
            "/proc/uptime",       "/proc/loadavg",         "/proc/diskstats",      "/proc/self/mountinfo",
            "/proc/net/dev",      "/sys/class/net/" + m.nic + "/ifindex",
            "/proc/net/snmp",     "/proc/net/snmp6",       "/proc/pressure/cpu",   "/proc/pressure/memory",
            "/proc/pressure/io"};
}

void EveryFamilyCollection(benchmark::State& state)
{
    LinuxPerfDataSource source;
    PerfQueryHandle query = nullptr;
    if (source.OpenQuery(query) != perf_status::Ok) {
        state.SkipWithError("cannot open a query");
        return;
    }
    const std::vector<std::string> paths = EveryFamily(Describe(source));
    std::vector<PerfCounterHandle> counters(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        source.AddCounter(query, paths[i], counters[i]);
    for (int i = 0; i < 3; ++i)  // prime the rates and size every buffer
        source.CollectQueryData(query);
    std::size_t failed = 0;
    for (auto _ : state) {
        source.CollectQueryData(query);
        for (PerfCounterHandle counter : counters) {
            double value = 0.0;
            const PerfStatus status = source.GetFormattedCounterValue(counter, value);
            failed += status != perf_status::Ok && status != perf_status::NoData;
            benchmark::DoNotOptimize(value);
        }
    }
    state.counters["counters"] = static_cast<double>(paths.size());
    state.counters["failed/sample"] = benchmark::Counter(static_cast<double>(failed), benchmark::Counter::kAvgIterations);
    source.CloseQuery(query);
}

void RawReadLimit(benchmark::State& state)
{
    LinuxPerfDataSource source;
    const Machine machine = Describe(source);
    std::vector<int> descriptors;
    for (const std::string& path : FilesOf(machine)) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0)
            descriptors.push_back(fd);
    }
    std::vector<char> buffer(256 * 1024);
    for (auto _ : state) {
        for (const int fd : descriptors)
            benchmark::DoNotOptimize(::pread(fd, buffer.data(), buffer.size(), 0));
        for (const std::string& volume : machine.volumes) {
            struct statvfs info {};
            benchmark::DoNotOptimize(::statvfs(volume.c_str(), &info));
        }
    }
    state.counters["files"] = static_cast<double>(descriptors.size());
    state.counters["volumes"] = static_cast<double>(machine.volumes.size());
    for (const int fd : descriptors)
        ::close(fd);
}

BENCHMARK(EveryFamilyCollection)->Unit(benchmark::kMicrosecond);
BENCHMARK(RawReadLimit)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace quel

BENCHMARK_MAIN();
