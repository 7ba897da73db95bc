#pragma once
// StandardCounterSet: the built-in catalogue from which new profiles are made. Paths are built
// from the provider's names of fixed name indices; instances are enumerated when the set is built.

#include "platform/perf_data_source.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quel {

class CounterMonitor;

enum StandardCounterFlags : unsigned {
    CpuUtilization = 0x001,        // "CPU utilization"
    EachDiskSpace = 0x002,         // "Each disk space usage"
    NetworkUtilization = 0x004,    // "Network utilization"
    EachDriveTime = 0x008,         // "Each hard drive accessing time"
    PhysicalMemory = 0x010,        // "Physical memory usage"
    TotalProcesses = 0x020,        // "Total number of processes"
    RegistrySpace = 0x040,         // "Registry space usage"
    TotalSessions = 0x080,         // "Total number of server sessions"
    TotalThreads = 0x100,          // "Total number of threads"
    VirtualMemory = 0x200,         // "Virtual memory usage"
    TotalDiskSpace = 0x400,        // "Total disk space usage"
    TotalDriveTime = 0x800,        // "Total hard drive accessing time"
};
constexpr unsigned DefaultStandardCounters = 3889;  // 0xF31

// Name indices of the objects and counters the set uses.
namespace name_index {
constexpr std::uint32_t System = 2, Memory = 4, ProcessorTime = 6, DiskTime = 200, PhysicalDisk = 234,
                        LogicalDisk = 236, Processor = 238, Processes = 248, Threads = 250, Objects = 260,
                        ServerSessions = 314, Server = 330, BytesTotalPerSec = 388, FreeSpace = 408,
                        NetworkInterface = 510, CurrentBandwidth = 520, PagingFile = 700, Usage = 702,
                        RegistryQuotaInUse = 1350, CommittedBytesInUse = 1406;
}

// The eight fixed paths, process-wide; English until LocalizeStandardPaths rebuilds them.
struct StandardPaths {
    std::string processes;        // \Objects\Processes
    std::string threads;          // \Objects\Threads
    std::string memory;           // \Memory\% Committed Bytes In Use
    std::string virtualMemory;    // \Paging File(_Total)\% Usage
    std::string registry;         // \System\% Registry Quota In Use
    std::string sessions;         // \Server\Server Sessions
    std::string totalDiskSpace;   // \LogicalDisk(_Total)\% Free Space
    std::string totalDriveTime;   // \PhysicalDisk(_Total)\% Disk Time
};
StandardPaths GetStandardPaths();

// "\" + object + ("(" + instance + ")") + "\" + counter, names looked up by index.
std::string MakeCounterPath(PerfDataSource& source, std::uint32_t object, std::uint32_t counter,
                            const std::string* instance = nullptr);
void LocalizeStandardPaths(PerfDataSource& source);
// Instance names of an object in the provider's order, without "_Total"; false (list empty)
// when the enumeration fails.
bool EnumerateInstances(PerfDataSource& source, std::uint32_t object, std::vector<std::string>& instances);
// One collection of the given paths; one value per path appended in path order. False only
// when no query can be opened; values stay empty when the collection fails.
bool QueryOnce(PerfDataSource& source, const std::vector<std::string>& paths, std::vector<double>& values);
// Replaces the monitor's axes by the chosen counters (the default choice when useDefault).
void BuildStandardCounterSet(bool useDefault, unsigned flags, CounterMonitor& monitor);

} // namespace quel
