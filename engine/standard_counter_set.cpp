#include "engine/standard_counter_set.h"

#include "engine/counter_monitor.h"
#include "platform/perf_name_list.h"

#include <cstdio>
#include <mutex>

namespace quel {
namespace {

std::mutex pathsLock;

StandardPaths& Paths()
{
    static StandardPaths paths {
        "\\Objects\\Processes",
        "\\Objects\\Threads",
        "\\Memory\\% Committed Bytes In Use",
        "\\Paging File(_Total)\\% Usage",
        "\\System\\% Registry Quota In Use",
        "\\Server\\Server Sessions",
        "\\LogicalDisk(_Total)\\% Free Space",
        "\\PhysicalDisk(_Total)\\% Disk Time",
    };
    return paths;
}

std::string LookupName(PerfDataSource& source, std::uint32_t index)
{
    std::string name;
    if (source.LookupPerfNameByIndex(index, name) != perf_status::Ok)
        name.clear();
    return name;
}

// "%% CPU-%d" style labels: the single form for one item, else numbered from 1.
std::string NumberedLabel(std::size_t count, std::size_t index, const char* single, const char* format)
{
    if (count == 1)
        return single;
    char label[64];
    std::snprintf(label, sizeof label, format, static_cast<int>(index + 1));
    return label;
}

struct AxisSpec {
    std::string name;
    std::uint8_t inverse;
    double maxValue;
    double critical;
    double multiplier;
    std::string path;
};

void AddStandardAxis(CounterMonitor& monitor, const AxisSpec& axis)
{
    // A rejected axis (all slots taken) is skipped.
    monitor.AddAxis(axis.name, "", axis.inverse, 0.0, axis.maxValue, axis.critical, axis.multiplier,
                    std::make_unique<CounterPathData>(axis.path));
}

void AddProcessorAxes(CounterMonitor& monitor, PerfDataSource& source)
{
    std::vector<std::string> cpus;
    EnumerateInstances(source, name_index::Processor, cpus);
    for (std::size_t i = 0; i < cpus.size(); ++i) {
        AddStandardAxis(monitor, {NumberedLabel(cpus.size(), i, "% CPU", "%% CPU-%d"), 0, 100, 80, 1,
                                  MakeCounterPath(source, name_index::Processor, name_index::ProcessorTime, &cpus[i])});
    }
}

void AddLogicalDiskAxes(CounterMonitor& monitor, PerfDataSource& source)
{
    std::vector<std::string> disks;
    EnumerateInstances(source, name_index::LogicalDisk, disks);
    if (disks.empty()) {
        const std::string total = "_Total";
        AddStandardAxis(monitor, {"% Disk Space Used", 1, 100, 80, 1,
                                  MakeCounterPath(source, name_index::LogicalDisk, name_index::FreeSpace, &total)});
        return;
    }
    for (const std::string& disk : disks) {
        AddStandardAxis(monitor, {"% Used on " + disk, 1, 100, 80, 1,
                                  MakeCounterPath(source, name_index::LogicalDisk, name_index::FreeSpace, &disk)});
    }
}

void AddPhysicalDiskAxes(CounterMonitor& monitor, PerfDataSource& source)
{
    std::vector<std::string> drives;
    EnumerateInstances(source, name_index::PhysicalDisk, drives);
    if (drives.empty()) {
        const std::string total = "_Total";
        AddStandardAxis(monitor, {"% Disk Access Time", 0, 100, 80, 1,
                                  MakeCounterPath(source, name_index::PhysicalDisk, name_index::DiskTime, &total)});
        return;
    }
    for (std::size_t i = 0; i < drives.size(); ++i) {
        AddStandardAxis(monitor, {NumberedLabel(drives.size(), i, "% H.Drive Time", "%% H.Drive-%d Time"), 0, 100, 80, 1,
                                  MakeCounterPath(source, name_index::PhysicalDisk, name_index::DiskTime, &drives[i])});
    }
}

// One axis per interface but the loopback one, scaled to the interface's bandwidth.
void AddNetworkAxes(CounterMonitor& monitor, PerfDataSource& source)
{
    std::vector<std::string> interfaces;
    EnumerateInstances(source, name_index::NetworkInterface, interfaces);
    std::erase_if(interfaces, [&](const std::string& name) { return source.IsLoopbackInterface(name); });

    std::vector<std::string> bandwidthPaths;
    for (const std::string& name : interfaces)
        bandwidthPaths.push_back(MakeCounterPath(source, name_index::NetworkInterface, name_index::CurrentBandwidth, &name));
    std::vector<double> bandwidths;
    if (!QueryOnce(source, bandwidthPaths, bandwidths))
        return;

    for (std::size_t i = 0; i < bandwidths.size(); ++i) {
        const double kilobytes = bandwidths[i] / 8192.0;
        const double maxValue = static_cast<double>(static_cast<int>(kilobytes));
        const double critical = static_cast<double>(static_cast<int>(0.2 * kilobytes));
        AddStandardAxis(monitor, {NumberedLabel(bandwidths.size(), i, "Network KB/s", "Network-%d KB/s"), 0, maxValue,
                                  critical, 1024,
                                  MakeCounterPath(source, name_index::NetworkInterface, name_index::BytesTotalPerSec,
                                                  &interfaces[i])});
    }
}

} // namespace

StandardPaths GetStandardPaths()
{
    std::lock_guard guard(pathsLock);
    return Paths();
}

std::string MakeCounterPath(PerfDataSource& source, std::uint32_t object, std::uint32_t counter,
                            const std::string* instance)
{
    std::string path = "\\" + LookupName(source, object);
    if (instance)
        path += "(" + *instance + ")";
    return path + "\\" + LookupName(source, counter);
}

void LocalizeStandardPaths(PerfDataSource& source)
{
    using namespace name_index;
    const std::string total = "_Total";
    StandardPaths paths {
        MakeCounterPath(source, Objects, Processes),
        MakeCounterPath(source, Objects, Threads),
        MakeCounterPath(source, Memory, CommittedBytesInUse),
        MakeCounterPath(source, PagingFile, Usage, &total),
        MakeCounterPath(source, System, RegistryQuotaInUse),
        MakeCounterPath(source, Server, ServerSessions),
        MakeCounterPath(source, LogicalDisk, FreeSpace, &total),
        MakeCounterPath(source, PhysicalDisk, DiskTime, &total),
    };
    std::lock_guard guard(pathsLock);
    Paths() = std::move(paths);
}

bool EnumerateInstances(PerfDataSource& source, std::uint32_t object, std::vector<std::string>& instances)
{
    std::vector<std::string> counters;
    if (ReadObjectItems(source, LookupName(source, object), counters, instances) != perf_status::Ok) {
        instances.clear();
        return false;
    }
    std::erase(instances, "_Total");
    return true;
}

bool QueryOnce(PerfDataSource& source, const std::vector<std::string>& paths, std::vector<double>& values)
{
    PerfQueryHandle query = nullptr;
    if (source.OpenQuery(query) != perf_status::Ok)
        return false;
    std::vector<PerfCounterHandle> counters(paths.size(), nullptr);
    for (std::size_t i = 0; i < paths.size(); ++i)
        source.AddCounter(query, paths[i], counters[i]);
    if (source.CollectQueryData(query) == perf_status::Ok) {
        for (PerfCounterHandle counter : counters) {
            double value = 0.0;  // a failed read leaves 0
            source.GetFormattedCounterValue(counter, value);
            values.push_back(value);
        }
    }
    for (PerfCounterHandle counter : counters) {
        if (counter)
            source.RemoveCounter(counter);
    }
    source.CloseQuery(query);
    return true;
}

void BuildStandardCounterSet(bool useDefault, unsigned flags, CounterMonitor& monitor)
{
    if (useDefault)
        flags = DefaultStandardCounters;
    PerfDataSource& source = monitor.GetSource();
    const StandardPaths paths = GetStandardPaths();

    WindRoseLock guard(monitor);
    monitor.RemoveAllAxes();
    if (flags & CpuUtilization)
        AddProcessorAxes(monitor, source);
    if (flags & TotalProcesses)
        AddStandardAxis(monitor, {"# Processes", 0, 1000, 100, 1, paths.processes});
    if (flags & TotalThreads)
        AddStandardAxis(monitor, {"# Threads", 0, 1000, 800, 1, paths.threads});
    if (flags & PhysicalMemory)
        AddStandardAxis(monitor, {"% Memory", 0, 100, 80, 1, paths.memory});
    if (flags & VirtualMemory)
        AddStandardAxis(monitor, {"% Virtual Memory", 0, 100, 50, 1, paths.virtualMemory});
    if (flags & RegistrySpace)
        AddStandardAxis(monitor, {"% Registry Used", 0, 100, 80, 1, paths.registry});
    if (flags & TotalDiskSpace)
        AddStandardAxis(monitor, {"% Disk Space Used", 1, 100, 80, 1, paths.totalDiskSpace});
    if (flags & EachDiskSpace)
        AddLogicalDiskAxes(monitor, source);
    if (flags & TotalDriveTime)
        AddStandardAxis(monitor, {"% Hard Drive Time", 0, 100, 80, 1, paths.totalDriveTime});
    if (flags & EachDriveTime)
        AddPhysicalDiskAxes(monitor, source);
    if (flags & NetworkUtilization)
        AddNetworkAxes(monitor, source);
    if (flags & TotalSessions)
        AddStandardAxis(monitor, {"# Sessions", 0, 100, 50, 1, paths.sessions});
}

} // namespace quel
