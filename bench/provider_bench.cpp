// Cost of one sample from this machine's real /proc and /sys: one collection plus reading every
// counter, for the default standard set and for a 32-counter set that touches every object.
// Heap allocations are counted with a replaced operator new; in steady state there are none.
// EveryFamilyCollection (32 counters over every object family) is measured against
// RawReadLimit, the same files read with pread on kept descriptors and statvfs of the same
// volumes with no parsing at all: their ratio is the provider's overhead over what any
// collector must pay.
//
//   build/bench/provider_bench --benchmark_min_time=2

#include "platform/linux_perf_data_source.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace {

std::atomic<std::uint64_t> allocations{0};

void* Allocate(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size)
{
    return Allocate(size);
}
void* operator new[](std::size_t size)
{
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}

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

// The default standard set: % Processor Time of every processor and the six single counters.
std::vector<std::string> DefaultSet(PerfDataSource& source)
{
    std::vector<std::string> paths;
    for (const std::string& cpu : Instances(source, "Processor")) {
        if (cpu != "_Total")
            paths.push_back("\\Processor(" + cpu + ")\\% Processor Time");
    }
    for (const char* path : {"\\Objects\\Processes", "\\Objects\\Threads", "\\Memory\\% Committed Bytes In Use",
                             "\\Paging File(_Total)\\% Usage", "\\LogicalDisk(_Total)\\% Free Space",
                             "\\PhysicalDisk(_Total)\\% Disk Time"})
        paths.emplace_back(path);
    return paths;
}

// 32 counters touching every object and every kernel file.
std::vector<std::string> MixedSet(PerfDataSource& source)
{
    const std::string cpu = FirstInstance(source, "Processor", "0");
    const std::string disk = FirstInstance(source, "PhysicalDisk", "sda");
    const std::string volume = FirstInstance(source, "LogicalDisk", "/");
    const std::string nic = FirstInstance(source, "Network Interface", "eth0");
    std::vector<std::string> paths = {
        "\\Processor(_Total)\\% Processor Time", "\\Processor(_Total)\\% User Time",
        "\\Processor(_Total)\\% Privileged Time", "\\Processor(_Total)\\% Interrupt Time",
        "\\Processor(_Total)\\% Idle Time", "\\Processor(" + cpu + ")\\% Processor Time",
        "\\Memory\\% Committed Bytes In Use", "\\Memory\\Available Bytes", "\\Memory\\Committed Bytes",
        "\\Memory\\Commit Limit", "\\Memory\\Pages/sec", "\\Memory\\Page Faults/sec",
        "\\Paging File(_Total)\\% Usage", "\\Paging File(_Total)\\% Usage Peak",
        "\\System\\Processor Queue Length", "\\System\\Context Switches/sec", "\\System\\System Up Time",
        "\\System\\% Registry Quota In Use", "\\Objects\\Processes", "\\Objects\\Threads", "\\Server\\Server Sessions",
        "\\LogicalDisk(_Total)\\% Free Space", "\\LogicalDisk(" + volume + ")\\% Free Space",
        "\\PhysicalDisk(_Total)\\% Disk Time", "\\PhysicalDisk(_Total)\\Disk Read Bytes/sec",
        "\\PhysicalDisk(_Total)\\Disk Write Bytes/sec", "\\PhysicalDisk(" + disk + ")\\% Disk Time",
        "\\PhysicalDisk(" + disk + ")\\Disk Read Bytes/sec", "\\Network Interface(" + nic + ")\\Bytes Total/sec",
        "\\Network Interface(" + nic + ")\\Current Bandwidth", "\\Network Interface(lo)\\Bytes Total/sec",
        "\\Processor(_Total)\\% Processor Time"};
    return paths;
}

void Sample(benchmark::State& state, std::vector<std::string> (*makePaths)(PerfDataSource&))
{
    LinuxPerfDataSource source;
    PerfQueryHandle query = nullptr;
    if (source.OpenQuery(query) != perf_status::Ok) {
        state.SkipWithError("cannot open a query");
        return;
    }
    const std::vector<std::string> paths = makePaths(source);
    std::vector<PerfCounterHandle> counters(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        source.AddCounter(query, paths[i], counters[i]);
    for (int i = 0; i < 3; ++i)  // prime the rates and size every buffer
        source.CollectQueryData(query);

    std::size_t failed = 0;
    const std::uint64_t before = allocations.load();
    for (auto _ : state) {
        source.CollectQueryData(query);
        for (PerfCounterHandle counter : counters) {
            double value = 0.0;
            failed += source.GetFormattedCounterValue(counter, value) != perf_status::Ok;
            benchmark::DoNotOptimize(value);
        }
    }
    const std::uint64_t allocated = allocations.load() - before;
    state.counters["counters"] = static_cast<double>(paths.size());
    state.counters["allocs/sample"] = benchmark::Counter(static_cast<double>(allocated), benchmark::Counter::kAvgIterations);
    state.counters["failed/sample"] = benchmark::Counter(static_cast<double>(failed), benchmark::Counter::kAvgIterations);
    source.CloseQuery(query);
}

void DefaultStandardSet(benchmark::State& state)
{
    Sample(state, DefaultSet);
}

void ThirtyTwoCounters(benchmark::State& state)
{
    Sample(state, MixedSet);
}

BENCHMARK(DefaultStandardSet)->Unit(benchmark::kMicrosecond);
BENCHMARK(ThirtyTwoCounters)->Unit(benchmark::kMicrosecond);

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

std::vector<std::string> EveryFamilySet(PerfDataSource& source)
{
    return EveryFamily(Describe(source));
}

// Counters without a value in an interval (no I/O, nothing sent) count as failed.
void EveryFamilyCollection(benchmark::State& state)
{
    Sample(state, EveryFamilySet);
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
        // A seq_file gives at most a page per read: a whole file takes reads until the one that
        // returns 0, whatever the buffer.
        for (const int fd : descriptors) {
            off_t offset = 0;
            for (ssize_t got; (got = ::pread(fd, buffer.data(), buffer.size(), offset)) > 0;)
                offset += got;
            benchmark::DoNotOptimize(offset);
        }
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
