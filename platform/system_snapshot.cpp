#include "platform/system_snapshot.h"

namespace quel {

std::int64_t SteadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

SystemSnapshot::SystemSnapshot(const SnapshotOptions& options)
    : clock_(options.clock ? options.clock : MonotonicClock(SteadyNanoseconds)),
      stat_(options.procRoot),
      memory_(options.procRoot),
      swaps_(options.procRoot),
      load_(options.procRoot),
      sessions_(options.procRoot, options.sessionInterval.count()),
      mounts_(options.procRoot, options.volumeStat, options.volumeProbeWait),
      disks_(options.procRoot, options.sysRoot),
      net_(options.procRoot, options.sysRoot),
      snmp_(options.procRoot),
      snmp6_(options.procRoot),
      pressure_(options.procRoot),
      controlGroups_(options.procRoot, options.sysRoot),
      sensors_(options.sysRoot),
      powerSupplies_(options.sysRoot),
      drm_(options.sysRoot),
      nvml_(options.procRoot, options.nvmlLibrary, options.notice),
      processes_(options.procRoot)
{
}

std::array<PageFeed*, SystemSnapshot::FeedCount> SystemSnapshot::Feeds()
{
    return {&stat_, &memory_, &swaps_, &load_, &sessions_, &mounts_, &disks_, &net_, &snmp_, &snmp6_, &pressure_,
            &sensors_, &powerSupplies_, &drm_};
}

std::uint64_t SystemSnapshot::StartFedCollection(std::int64_t timeNs)
{
    nowNs_ = timeNs;
    return ++collections_;
}

void SystemSnapshot::Refresh(SourceMask mask)
{
    nowNs_ = clock_();
    ++collections_;
    if (mask & sources::Stat)
        stat_.Refresh();
    if (mask & sources::Interrupts)
        stat_.RefreshInterrupts();
    if (mask & sources::MemInfo)
        memory_.RefreshMemInfo();
    if (mask & sources::Overcommit)
        memory_.RefreshOvercommit();
    if (mask & sources::VmStat)
        memory_.RefreshVmStat();
    if (mask & sources::Swaps)
        swaps_.Refresh();
    if (mask & sources::LoadAvg)
        load_.RefreshLoadAvg();
    if (mask & sources::Uptime)
        load_.RefreshUptime();
    if (mask & sources::ProcessDir)
        load_.RefreshProcesses();
    if (mask & sources::Sessions)
        sessions_.Refresh(nowNs_);
    if (mask & sources::Mounts)
        mounts_.Refresh();
    if (mask & sources::DiskStats)
        disks_.Refresh();
    if (mask & sources::NetDev)
        net_.Refresh(collections_);
    if (mask & sources::NetSnmp)
        snmp_.Refresh();
    if (mask & sources::NetSnmp6)
        snmp6_.Refresh();
    if (mask & sources::Pressure)
        pressure_.Refresh();
    if (mask & sources::ControlGroups)
        controlGroups_.Refresh(collections_);
    // Sensors are read when a counter first asks for them in this collection.
    if (mask & (sources::Thermal | sources::Hwmon | sources::Powercap))
        sensors_.Refresh(collections_, nowNs_);
    if (mask & sources::PowerSupply)
        powerSupplies_.Refresh(collections_, nowNs_);
    if (mask & sources::DrmCards)
        drm_.Refresh(collections_);
    if (mask & sources::Nvml)
        nvml_.Refresh(collections_);
    if (mask & sources::ProcessTable)
        processes_.Refresh();
}

} // namespace quel
