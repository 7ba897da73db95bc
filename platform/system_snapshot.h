#pragma once
// SystemSnapshot: the kernel files behind every counter, parsed. A collection refreshes the
// sources its counters need, each exactly once, then its readers take their values from here.
// A remote computer's snapshot is fed from its page instead (NodeExporterFeed).
//
// A new source: its class in its family's file (reading its files, and a PageFeed for the node
// exporter's series), a member here, its entry in Feeds() and in Refresh, and its bit in
// sources:: (counter_reader.h).

#include "platform/counter_reader.h"
#include "platform/page_feed.h"
#include "platform/battery_counters.h"
#include "platform/drm_cards.h"
#include "platform/ip_counters.h"
#include "platform/logical_disk_counters.h"
#include "platform/memory_counters.h"
#include "platform/network_interface_counters.h"
#include "platform/nvml_devices.h"
#include "platform/paging_file_counters.h"
#include "platform/physical_disk_counters.h"
#include "platform/pressure_counters.h"
#include "platform/sensor_source.h"
#include "platform/process_table.h"
#include "platform/processor_counters.h"
#include "platform/control_group_source.h"
#include "platform/system_counters.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace quel {

// A monotonic time source in nanoseconds.
using MonotonicClock = std::function<std::int64_t()>;
std::int64_t SteadyNanoseconds();

struct SnapshotOptions {
    std::string procRoot;
    std::string sysRoot;
    MonotonicClock clock;
    VolumeStatFunction volumeStat;
    std::chrono::milliseconds volumeProbeWait{20};
    std::chrono::nanoseconds sessionInterval = std::chrono::seconds(10);
    // NVIDIA's management library; empty: $QUELLARIMOND_NVML_LIBRARY, else libnvidia-ml.so.1.
    std::string nvmlLibrary;
    // Told once when a driver's library cannot be loaded; empty: a line on stderr.
    std::function<void(const std::string&)> notice;
};

class SystemSnapshot {
public:
    explicit SystemSnapshot(const SnapshotOptions& options);

    // Reads every source in mask once and takes the time of the collection.
    void Refresh(SourceMask mask);
    std::int64_t NowNs() const { return nowNs_; }

    const StatSource& Stat() const { return stat_; }
    const MemorySource& Memory() const { return memory_; }
    const SwapSource& Swaps() const { return swaps_; }
    const LoadSource& Load() const { return load_; }
    const SessionSource& Sessions() const { return sessions_; }
    const MountSource& Mounts() const { return mounts_; }
    const DiskSource& Disks() const { return disks_; }
    NetSource& Net() { return net_; }
    const SnmpSource& Snmp() const { return snmp_; }
    const Snmp6Source& Snmp6() const { return snmp6_; }
    const PressureSource& Pressure() const { return pressure_; }
    // Not a page feed: the node exporter serves no control groups.
    ControlGroupSource& ControlGroups() { return controlGroups_; }
    SensorSource& Sensors() { return sensors_; }
    PowerSupplySource& PowerSupplies() { return powerSupplies_; }
    DrmSource& Drm() { return drm_; }
    NvmlSource& Nvml() { return nvml_; }
    // Local only: the node exporter serves no processes.
    ProcessTable& Processes() { return processes_; }

    // Every source, as its page feed, for NodeExporterFeed.
    static constexpr std::size_t FeedCount = 14;
    std::array<PageFeed*, FeedCount> Feeds();
    // Starts a collection that is fed rather than read: takes its time, returns its number.
    std::uint64_t StartFedCollection(std::int64_t timeNs);

private:
    MonotonicClock clock_;
    std::int64_t nowNs_ = 0;
    std::uint64_t collections_ = 0;
    StatSource stat_;
    MemorySource memory_;
    SwapSource swaps_;
    LoadSource load_;
    SessionSource sessions_;
    MountSource mounts_;
    DiskSource disks_;
    NetSource net_;
    SnmpSource snmp_;
    Snmp6Source snmp6_;
    PressureSource pressure_;
    ControlGroupSource controlGroups_;
    SensorSource sensors_;
    PowerSupplySource powerSupplies_;
    DrmSource drm_;
    NvmlSource nvml_;
    ProcessTable processes_;
};

} // namespace quel
