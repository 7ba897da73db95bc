#pragma once
// CounterReader: one counter of a query, bound to its object, counter and instance. A collection
// first refreshes every kernel file the query's counters need (each once), then asks each
// reader for its value.

#include "platform/perf_data_source.h"

#include <cstdint>

namespace quel {

class SystemSnapshot;

// The kernel files a counter reads, as bits; a collection refreshes the union of its counters'.
using SourceMask = std::uint32_t;
namespace sources {
constexpr SourceMask Stat = 1U << 0;        // /proc/stat
constexpr SourceMask MemInfo = 1U << 1;     // /proc/meminfo
constexpr SourceMask Overcommit = 1U << 2;  // /proc/sys/vm/overcommit_memory
constexpr SourceMask VmStat = 1U << 3;      // /proc/vmstat
constexpr SourceMask Swaps = 1U << 4;       // /proc/swaps
constexpr SourceMask LoadAvg = 1U << 5;     // /proc/loadavg
constexpr SourceMask Uptime = 1U << 6;      // /proc/uptime
constexpr SourceMask ProcessDir = 1U << 7;  // the numeric entries of /proc
constexpr SourceMask Sessions = 1U << 8;    // ksmbd, else /proc/net/tcp and tcp6
constexpr SourceMask Mounts = 1U << 9;      // /proc/self/mountinfo and statvfs
constexpr SourceMask DiskStats = 1U << 10;  // /proc/diskstats
constexpr SourceMask NetDev = 1U << 11;     // /proc/net/dev (and per-interface sysfs files)
constexpr SourceMask NetSnmp = 1U << 12;    // /proc/net/snmp
constexpr SourceMask NetSnmp6 = 1U << 13;   // /proc/net/snmp6
constexpr SourceMask Pressure = 1U << 14;   // /proc/pressure/cpu, memory and io
constexpr SourceMask Interrupts = 1U << 15; // /proc/interrupts
constexpr SourceMask ProcessTable = 1U << 16; // /proc/PID/stat (status, io, fd when asked)
constexpr SourceMask ControlGroups = 1U << 17;  // the cgroup v2 files of the groups counters name
constexpr SourceMask Thermal = 1U << 18;     // /sys/class/thermal/thermal_zone*
constexpr SourceMask Hwmon = 1U << 19;       // /sys/class/hwmon/hwmon*
constexpr SourceMask Powercap = 1U << 20;    // /sys/class/powercap (RAPL)
constexpr SourceMask PowerSupply = 1U << 21; // /sys/class/power_supply
constexpr SourceMask DrmCards = 1U << 22;   // /sys/class/drm/cardN and amdgpu's files
constexpr SourceMask Nvml = 1U << 23;       // NVIDIA GPUs through libnvidia-ml
} // namespace sources

class CounterReader {
public:
    virtual ~CounterReader() = default;
    virtual SourceMask Sources() const = 0;
    // This collection's value from the refreshed snapshot; a rate counter keeps the raw values
    // it needs for the next collection. Returns Ok or the reason there is no value.
    virtual PerfStatus Sample(SystemSnapshot& snapshot, double& value) = 0;
};

} // namespace quel
