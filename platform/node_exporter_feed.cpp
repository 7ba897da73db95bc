#include "platform/node_exporter_feed.h"

#include "platform/exposition_page.h"
#include "platform/system_snapshot.h"
#include "platform/text_scan.h"

#include <cmath>
#include <functional>
#include <string_view>

namespace quel {
namespace {

// The node exporter reports jiffies divided by USER_HZ, which is 100 on every Linux ABI.
constexpr double JiffiesPerSecond = 100.0;
constexpr double SectorBytes = 512.0;
constexpr double BytesPerKib = 1024.0;
constexpr double BytesPerMbit = 125000.0;
constexpr std::size_t MaxCpus = 65536;

// A count the page gives as a float; false for what no kernel counter can hold.
bool ToCount(double value, double scale, std::uint64_t& count)
{
    const double scaled = value * scale;
    if (!std::isfinite(scaled) || scaled < 0.0 || scaled >= 1.8e19)
        return false;
    count = static_cast<std::uint64_t>(std::llround(scaled));
    return true;
}

std::uint64_t NameKey(std::string_view name)
{
    return std::hash<std::string_view>{}(name);
}

// Devices the local provider leaves out because sysfs shows no device behind them; the node
// exporter already leaves out partitions, loop and ram disks.
bool IsVirtualDisk(std::string_view name)
{
    return name.starts_with("dm-") || name.starts_with("md") || name.starts_with("zram") || name.starts_with("nbd")
        || name.starts_with("loop") || name.starts_with("ram");
}

template <typename T>
T& FindOrAppend(SlotList<T>& list, std::string_view name, bool& added)
{
    for (T& item : list) {
        if (item.name == name) {
            added = false;
            return item;
        }
    }
    added = true;
    T& item = list.Append();
    item = T{};
    item.name.assign(name);
    return item;
}

} // namespace

NetSource::InterfaceFiles* NodeExporterFeed::InterfaceFilesOf(NetSource& net, std::string_view device)
{
    for (NetSource::InterfaceFiles& known : net.files_) {
        if (known.name == device)
            return &known;
    }
    NetSource::InterfaceFiles& files = net.files_.emplace_back();
    files.name.assign(device);
    // Without the interface index the name alone identifies the interface.
    files.ifindexValid = true;
    files.ifindexValue = 1;
    files.ifindexCollection = net.collection_;
    files.speedCollection = net.collection_;
    files.seen = true;
    return &files;
}

SnapshotOptions FedSnapshotOptions()
{
    // A root below a file can never exist, so even a stray refresh reads nothing.
    SnapshotOptions options;
    options.procRoot = "/dev/null/remote";
    options.sysRoot = "/dev/null/remote";
    return options;
}

void NodeExporterFeed::Fail(std::int64_t timeNs, SystemSnapshot& snapshot)
{
    snapshot.nowNs_ = timeNs;
    ++snapshot.collections_;
    snapshot.stat_.valid_ = false;
    snapshot.memory_.infoValid_ = false;
    snapshot.memory_.vmValid_ = false;
    snapshot.swaps_.valid_ = false;
    snapshot.swaps_.areas_.Clear();
    snapshot.load_.threadsValid_ = false;
    snapshot.load_.uptimeValid_ = false;
    snapshot.load_.processes_.valid_ = false;
    snapshot.sessions_.valid_ = false;
    snapshot.mounts_.valid_ = false;
    snapshot.mounts_.volumes_.Clear();
    snapshot.disks_.valid_ = false;
    snapshot.disks_.disks_.Clear();
    snapshot.net_.valid_ = false;
    snapshot.net_.interfaces_.Clear();
    snapshot.net_.files_.clear();
}

void NodeExporterFeed::Apply(const ExpositionPage& page, std::int64_t timeNs, SystemSnapshot& snapshot)
{
    Fail(timeNs, snapshot);
    StatSource& stat = snapshot.stat_;
    stat.total_ = CpuTimes{};
    for (CpuTimes& cpu : stat.cpus_)
        cpu = CpuTimes{};
    stat.onlineCpus_ = 0;
    stat.hasContextSwitches_ = false;
    stat.hasProcsRunning_ = false;
    MemorySource& memory = snapshot.memory_;
    memory.info_ = MemInfo{};
    memory.vm_ = VmStat{};
    memory.strictOvercommit_ = false;  // the page does not tell the overcommit mode
    bool hasSwapIn = false;
    bool hasSwapOut = false;
    bool hasSwapFree = false;
    std::uint64_t swapFree = 0;
    LoadSource& load = snapshot.load_;
    double bootTime = 0.0;
    double now = 0.0;
    bool hasBootTime = false;
    bool hasNow = false;
    NetSource& net = snapshot.net_;
    net.collection_ = snapshot.collections_;
    MountSource& mounts = snapshot.mounts_;
    struct Space {
        std::string_view mountPoint;
        double size = -1.0, free = -1.0, avail = -1.0;
    };
    std::vector<Space> spaces;  // filled below, in page order

    for (const ExpositionSample& sample : page.Samples()) {
        const std::string_view name = sample.name;
        if (!name.starts_with("node_"))
            continue;
        const double value = sample.value;
        std::uint64_t count = 0;
        if (name == "node_cpu_seconds_total") {
            std::uint64_t number = 0;
            if (!text::ParseU64(page.Label(sample, "cpu"), number) || number >= MaxCpus
                || !ToCount(value, JiffiesPerSecond, count))
                continue;
            if (number >= stat.cpus_.size())
                stat.cpus_.resize(number + 1);
            CpuTimes& cpu = stat.cpus_[number];
            const std::string_view mode = page.Label(sample, "mode");
            std::uint64_t CpuTimes::*field = mode == "user" ? &CpuTimes::user
                : mode == "nice"                            ? &CpuTimes::nice
                : mode == "system"                          ? &CpuTimes::system
                : mode == "idle"                            ? &CpuTimes::idle
                : mode == "iowait"                          ? &CpuTimes::iowait
                : mode == "irq"                             ? &CpuTimes::irq
                : mode == "softirq"                         ? &CpuTimes::softirq
                : mode == "steal"                           ? &CpuTimes::steal
                                                            : nullptr;
            if (field != nullptr) {
                cpu.*field = count;
                cpu.present = true;
            }
        } else if (name == "node_context_switches_total") {
            stat.hasContextSwitches_ = ToCount(value, 1.0, stat.contextSwitches_);
        } else if (name == "node_procs_running") {
            stat.hasProcsRunning_ = ToCount(value, 1.0, stat.procsRunning_);
        } else if (name.starts_with("node_memory_")) {
            const std::string_view field = name.substr(12);
            MemInfo& info = memory.info_;
            const bool ok = ToCount(value, 1.0 / BytesPerKib, count);
            if (field == "MemTotal_bytes")
                info.hasMemTotal = ok, info.memTotal = count;
            else if (field == "MemFree_bytes")
                info.hasMemFree = ok, info.memFree = count;
            else if (field == "MemAvailable_bytes")
                info.hasMemAvailable = ok, info.memAvailable = count;
            else if (field == "SwapTotal_bytes")
                info.hasSwapTotal = ok, info.swapTotal = count;
            else if (field == "SwapFree_bytes")
                hasSwapFree = ok, swapFree = count;
            else if (field == "CommitLimit_bytes")
                info.hasCommitLimit = ok, info.commitLimit = count;
            else if (field == "Committed_AS_bytes")
                info.hasCommittedAs = ok, info.committedAs = count;
        } else if (name == "node_vmstat_pswpin") {
            hasSwapIn = ToCount(value, 1.0, memory.vm_.pswpin);
        } else if (name == "node_vmstat_pswpout") {
            hasSwapOut = ToCount(value, 1.0, memory.vm_.pswpout);
        } else if (name == "node_vmstat_pgfault") {
            memory.vm_.hasFaults = ToCount(value, 1.0, memory.vm_.pgfault);
        } else if (name == "node_processes_threads") {
            load.threadsValid_ = ToCount(value, 1.0, load.threads_);
        } else if (name == "node_processes_pids") {
            load.processes_.valid_ = ToCount(value, 1.0, load.processes_.count_);
        } else if (name == "node_boot_time_seconds") {
            hasBootTime = std::isfinite(value), bootTime = value;
        } else if (name == "node_time_seconds") {
            hasNow = std::isfinite(value), now = value;
        } else if (name.starts_with("node_filesystem_")) {
            const std::string_view field = name.substr(16);
            double Space::*target = field == "size_bytes" ? &Space::size
                : field == "free_bytes"                  ? &Space::free
                : field == "avail_bytes"                 ? &Space::avail
                                                         : nullptr;
            if (target == nullptr)
                continue;
            const std::string_view mountPoint = page.Label(sample, "mountpoint");
            const std::string_view type = page.Label(sample, "fstype");
            if (mountPoint.empty() || IsPseudoFileSystem(type) || IsSystemMountPoint(mountPoint))
                continue;
            // One instance per device, named by its (first listed) mount point.
            const std::uint64_t device = NameKey(page.Label(sample, "device"));
            VolumeQuery* volume = nullptr;
            for (VolumeQuery& known : mounts.volumes_) {
                if (known.device == device) {
                    volume = &known;
                    break;
                }
            }
            if (volume == nullptr) {
                volume = &mounts.volumes_.Append();
                volume->mountPoint.assign(mountPoint);
                volume->device = device;
                volume->answer = VolumeAnswer::None;
                volume->space = VolumeSpace{};
                spaces.push_back(Space{});
                spaces.back().mountPoint = mountPoint;
            }
            Space& space = spaces[static_cast<std::size_t>(volume - mounts.volumes_.begin())];
            if (space.mountPoint == mountPoint && std::isfinite(value) && value >= 0.0)
                space.*target = value;
        } else if (name.starts_with("node_disk_")) {
            const std::string_view field = name.substr(10);
            std::uint64_t DiskStat::*target = field == "read_bytes_total" ? &DiskStat::sectorsRead
                : field == "written_bytes_total"                          ? &DiskStat::sectorsWritten
                : field == "io_time_seconds_total"                        ? &DiskStat::ioTicks
                                                                          : nullptr;
            const std::string_view device = page.Label(sample, "device");
            if (device.empty() || IsVirtualDisk(device))
                continue;
            bool added = false;
            if (field == "info") {
                DiskStat& disk = FindOrAppend(snapshot.disks_.disks_, device, added);
                std::uint64_t major = 0, minor = 0;
                if (text::ParseU64(page.Label(sample, "major"), major) && text::ParseU64(page.Label(sample, "minor"), minor)
                    && major <= 0xFFFFFFFFULL && minor <= 0xFFFFFFFFULL)
                    disk.device = major << 32 | minor;
                continue;
            }
            const double scale = target == &DiskStat::ioTicks ? 1000.0 : 1.0 / SectorBytes;
            if (target == nullptr || !ToCount(value, scale, count))
                continue;
            DiskStat& disk = FindOrAppend(snapshot.disks_.disks_, device, added);
            if (added)
                disk.device = NameKey(device);
            disk.*target = count;
        } else if (name.starts_with("node_network_")) {
            const std::string_view field = name.substr(13);
            const std::string_view device = page.Label(sample, "device");
            if (device.empty())
                continue;
            bool added = false;
            if (field == "receive_bytes_total" || field == "transmit_bytes_total") {
                if (!ToCount(value, 1.0, count))
                    continue;
                InterfaceStat& stat = FindOrAppend(net.interfaces_, device, added);
                (field[0] == 'r' ? stat.rxBytes : stat.txBytes) = count;
                continue;
            }
            if (field != "iface_id" && field != "speed_bytes")
                continue;
            NetSource::InterfaceFiles* files = InterfaceFilesOf(net, device);
            if (field == "iface_id") {
                files->ifindexValid = std::isfinite(value) && value >= 1.0 && value < 4.0e9;
                files->ifindexValue = files->ifindexValid ? static_cast<std::uint64_t>(value) : 0;
            } else {
                files->speedValid = std::isfinite(value) && std::fabs(value) < 1e18;
                files->speedValue = files->speedValid ? std::llround(value / BytesPerMbit) : 0;
            }
        }
    }

    for (const CpuTimes& cpu : stat.cpus_) {
        if (!cpu.present)
            continue;
        ++stat.onlineCpus_;
        stat.total_.user += cpu.user;
        stat.total_.nice += cpu.nice;
        stat.total_.system += cpu.system;
        stat.total_.idle += cpu.idle;
        stat.total_.iowait += cpu.iowait;
        stat.total_.irq += cpu.irq;
        stat.total_.softirq += cpu.softirq;
        stat.total_.steal += cpu.steal;
        stat.total_.present = true;
    }
    stat.valid_ = stat.total_.present || stat.hasContextSwitches_ || stat.hasProcsRunning_;

    MemInfo& info = memory.info_;
    memory.infoValid_ = info.hasMemTotal;
    memory.vm_.hasSwapping = hasSwapIn && hasSwapOut;
    memory.vmValid_ = memory.vm_.hasSwapping || memory.vm_.hasFaults;

    SwapSource& swaps = snapshot.swaps_;
    swaps.valid_ = info.hasSwapTotal && hasSwapFree;
    swaps.totalsOnly_ = true;
    if (swaps.valid_ && info.swapTotal > 0) {
        SwapArea& all = swaps.areas_.Append();
        all.name.clear();
        all.sizeKib = info.swapTotal;
        all.usedKib = info.swapTotal >= swapFree ? info.swapTotal - swapFree : 0;
    }
    swaps.RaisePeaks();

    // Both finite, yet their difference may not be (1e308 - -1e308).
    load.uptimeValid_ = hasBootTime && hasNow && now >= bootTime && std::isfinite(now - bootTime);
    load.uptimeSeconds_ = load.uptimeValid_ ? now - bootTime : 0.0;

    for (std::size_t i = 0; i < spaces.size(); ++i) {
        VolumeQuery& volume = mounts.volumes_.Items()[i];
        const Space& space = spaces[i];
        if (space.size < 0.0 || space.free < 0.0 || space.avail < 0.0) {
            volume.answer = VolumeAnswer::Failed;
            continue;
        }
        VolumeSpace bytes{0, 0, 0, 1};
        const bool known = ToCount(space.size, 1.0, bytes.blocks) && ToCount(space.free, 1.0, bytes.freeBlocks)
            && ToCount(space.avail, 1.0, bytes.available);
        volume.answer = known ? VolumeAnswer::Ok : VolumeAnswer::Failed;
        volume.space = bytes;
    }
    mounts.valid_ = !mounts.volumes_.Empty();
    snapshot.disks_.valid_ = !snapshot.disks_.disks_.Empty();
    for (const InterfaceStat& stat : net.interfaces_)
        InterfaceFilesOf(net, stat.name);
    net.valid_ = !net.interfaces_.Empty();
}

} // namespace quel
