#include "platform/logical_disk_counters.h"

#include "platform/exposition_page.h"
#include "platform/mount_info.h"
#include "platform/system_snapshot.h"
#include "platform/text_scan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace quel {
namespace {

// The counters of the space of a volume; the I/O counters of its device follow them.
enum class VolumeCounter { FreeSpace, FreeMegabytes };
constexpr std::size_t VolumeCounterCount = 2;

constexpr std::array<CounterInfo, VolumeCounterCount> VolumeCounters = {{
    {"% Free Space", "%", "The free space of a mounted file system that ordinary users may take, as a percentage of its size.",
     "statvfs of the mount point: 100 x f_bavail / (f_blocks - f_bfree + f_bavail); _Total: sum of free / sum of size",
     "node_filesystem_avail_bytes, _free_bytes and _size_bytes, as locally"},
    {"Free Megabytes", "megabytes (1,048,576 bytes)",
     "The free space of a mounted file system that ordinary users may take, in megabytes of 1,048,576 bytes.",
     "statvfs of the mount point: f_bavail x f_frsize / 1048576; _Total: the sum",
     "node_filesystem_avail_bytes / 1048576"},
}};

// The I/O counters read from the diskstats line of the volume's device. Not from another
// computer: its node exporter names a file system's device by the mount's source (/dev/root,
// /dev/mapper/...) rather than by major:minor, and leaves partitions out of its disk series.
constexpr std::string_view DeviceIoSource =
    "/proc/diskstats, the line whose major:minor is the mount's (of its mountinfo line; partitions and "
    "device-mapper devices included), with the formula of the PhysicalDisk counter of the same name; a mount "
    "without such a line (NFS, fuse, btrfs) fails; _Total: over the volumes' devices, as PhysicalDisk's _Total";

using LogicalDiskCounterTable = std::array<CounterInfo, VolumeCounterCount + DiskIoCounterCount>;

const LogicalDiskCounterTable& LogicalDiskCounters()
{
    static const LogicalDiskCounterTable table = [] {
        LogicalDiskCounterTable made{};
        std::copy(VolumeCounters.begin(), VolumeCounters.end(), made.begin());
        const std::span<const CounterInfo> io = DiskIoCounterInfos();
        for (std::size_t i = 0; i < DiskIoCounterCount; ++i)
            made[VolumeCounterCount + i] = CounterInfo{io[i].name, io[i].unit, io[i].explanation, DeviceIoSource, {}};
        return made;
    }();
    return table;
}

constexpr std::array<std::string_view, 24> PseudoFileSystems = {
    "proc",    "sysfs",    "cgroup",  "cgroup2", "devtmpfs",   "devpts",      "tmpfs",       "overlay",
    "squashfs", "autofs",  "debugfs", "tracefs", "securityfs", "pstore",      "bpf",         "configfs",
    "fusectl", "mqueue",   "hugetlbfs", "binfmt_misc", "nsfs", "ramfs",       "rpc_pipefs",  "efivarfs"};

constexpr double BytesPerMegabyte = 1048576.0;

constexpr std::array<std::string_view, 4> SystemMountRoots = {"/proc", "/sys", "/dev", "/run/credentials"};

class VolumeSpaceReader final : public CounterReader {
public:
    VolumeSpaceReader(VolumeCounter counter, std::string_view instance)
        : counter_(counter), instance_(instance), total_(instance == TotalInstance)
    {
    }

    SourceMask Sources() const override { return sources::Mounts; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        const MountSource& mounts = snapshot.Mounts();
        if (!mounts.Valid())
            return perf_status::Unreadable;
        const bool percent = counter_ == VolumeCounter::FreeSpace;
        if (total_) {
            const bool known = percent ? mounts.TotalFreePercent(value) : mounts.TotalFreeMegabytes(value);
            return known ? perf_status::Ok : perf_status::Unreadable;
        }
        const VolumeQuery* volume = mounts.Find(instance_);
        if (volume == nullptr)
            return perf_status::NoInstance;
        if (volume->answer == VolumeAnswer::None)
            return perf_status::NoData;
        const bool known =
            percent ? MountSource::FreePercent(*volume, value) : MountSource::FreeMegabytes(*volume, value);
        return known ? perf_status::Ok : perf_status::Unreadable;
    }

private:
    VolumeCounter counter_;
    std::string instance_;
    bool total_;
};

class VolumeIoReader final : public CounterReader {
public:
    VolumeIoReader(DiskIoCounter counter, std::string_view instance) : instance_(instance), track_(counter) {}

    SourceMask Sources() const override { return sources::Mounts | sources::DiskStats; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        const MountSource& mounts = snapshot.Mounts();
        const DiskSource& disks = snapshot.Disks();
        const VolumeQuery* volume = mounts.Valid() ? mounts.Find(instance_) : nullptr;
        // A mount without a diskstats line (NFS, fuse) has no I/O counters.
        const DiskStat* disk = volume != nullptr && disks.Valid() ? disks.FindDevice(volume->device) : nullptr;
        if (disk == nullptr) {
            track_.Forget();
            return mounts.Valid() && volume == nullptr ? perf_status::NoInstance : perf_status::Unreadable;
        }
        return track_.Sample(*disk, snapshot.NowNs(), value);
    }

private:
    std::string instance_;
    DiskIoTrack track_;
};

class VolumeIoTotalReader final : public CounterReader {
public:
    explicit VolumeIoTotalReader(DiskIoCounter counter) : total_(counter) {}

    SourceMask Sources() const override { return sources::Mounts | sources::DiskStats; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        const MountSource& mounts = snapshot.Mounts();
        const DiskSource& disks = snapshot.Disks();
        total_.Begin();
        if (mounts.Valid() && disks.Valid()) {
            for (const VolumeQuery& volume : mounts.Volumes()) {
                const DiskStat* disk = MountSource::IsInstance(volume) ? disks.FindDevice(volume.device) : nullptr;
                if (disk != nullptr)
                    total_.Add(*disk);
            }
        }
        return total_.Finish(snapshot.NowNs(), value);
    }

private:
    DiskIoTotal total_;
};

std::unique_ptr<CounterReader> MakeLogicalDiskReader(std::size_t counter, std::string_view instance)
{
    if (counter < VolumeCounterCount)
        return std::make_unique<VolumeSpaceReader>(static_cast<VolumeCounter>(counter), instance);
    const auto io = static_cast<DiskIoCounter>(counter - VolumeCounterCount);
    if (instance == TotalInstance)
        return std::make_unique<VolumeIoTotalReader>(io);
    return std::make_unique<VolumeIoReader>(io, instance);
}

void ListLogicalDisks(SystemSnapshot& snapshot, std::vector<std::string>& instances)
{
    snapshot.Mounts().List(instances);
    if (!instances.empty())
        instances.emplace_back(TotalInstance);
}

} // namespace

bool IsPseudoFileSystem(std::string_view type)
{
    return std::find(PseudoFileSystems.begin(), PseudoFileSystems.end(), type) != PseudoFileSystems.end();
}

bool IsSystemMountPoint(std::string_view mountPoint)
{
    for (std::string_view root : SystemMountRoots) {
        if (mountPoint.starts_with(root) && (mountPoint.size() == root.size() || mountPoint[root.size()] == '/'))
            return true;
    }
    return false;
}

MountSource::MountSource(const std::string& procRoot, VolumeStatFunction stat, std::chrono::milliseconds probeWait)
    : file_(procRoot + "/self/mountinfo"), probe_(std::move(stat), probeWait)
{
}

void MountSource::Refresh()
{
    volumes_.Clear();
    std::string_view content;
    valid_ = file_.Read(content);
    if (!valid_)
        return;
    Parse(content);
    probe_.Probe(volumes_.Items());
}

void MountSource::Parse(std::string_view content)
{
    MountInfoLine mount;
    while (NextMountInfoLine(content, mount)) {
        const std::uint64_t device = mount.device;
        if (IsPseudoFileSystem(mount.type))
            continue;
        text::DecodeOctalEscapes(mount.mountPoint, decoded_);
        if (IsSystemMountPoint(decoded_))
            continue;
        const bool seen = std::any_of(volumes_.begin(), volumes_.end(),
                                      [&](const VolumeQuery& volume) { return volume.device == device; });
        if (seen)  // one instance per device: its first mount point names it
            continue;
        VolumeQuery& volume = volumes_.Append();
        volume.mountPoint.assign(decoded_);
        volume.device = device;
        volume.answer = VolumeAnswer::None;
    }
}

bool MountSource::IsInstance(const VolumeQuery& volume)
{
    return volume.answer != VolumeAnswer::Ok || volume.space.blocks != 0;
}

const VolumeQuery* MountSource::Find(std::string_view mountPoint) const
{
    for (const VolumeQuery& volume : volumes_) {
        if (volume.mountPoint == mountPoint)
            return IsInstance(volume) ? &volume : nullptr;
    }
    return nullptr;
}

bool MountSource::FreePercent(const VolumeQuery& volume, double& percent)
{
    // Free as the user sees it: available over what the user could have (used + available),
    // leaving out the blocks reserved for root.
    const VolumeSpace& s = volume.space;
    if (volume.answer != VolumeAnswer::Ok || s.blocks < s.freeBlocks)
        return false;
    const std::uint64_t size = s.blocks - s.freeBlocks + s.available;
    if (size == 0)
        return false;
    percent = 100.0 * static_cast<double>(s.available) / static_cast<double>(size);
    return true;
}

bool MountSource::TotalFreePercent(double& percent) const
{
    double free = 0.0;
    double size = 0.0;
    for (const VolumeQuery& volume : volumes_) {
        const VolumeSpace& s = volume.space;
        if (volume.answer != VolumeAnswer::Ok || s.blocks == 0 || s.blocks < s.freeBlocks)
            continue;
        const double blockSize = static_cast<double>(s.blockSize);
        free += static_cast<double>(s.available) * blockSize;
        size += static_cast<double>(s.blocks - s.freeBlocks + s.available) * blockSize;
    }
    if (size <= 0.0)
        return false;
    percent = 100.0 * free / size;
    return true;
}

bool MountSource::FreeMegabytes(const VolumeQuery& volume, double& megabytes)
{
    if (volume.answer != VolumeAnswer::Ok)
        return false;
    const VolumeSpace& s = volume.space;
    megabytes = static_cast<double>(s.available) * static_cast<double>(s.blockSize) / BytesPerMegabyte;
    return true;
}

bool MountSource::TotalFreeMegabytes(double& megabytes) const
{
    double sum = 0.0;
    bool any = false;
    for (const VolumeQuery& volume : volumes_) {
        double one = 0.0;
        if (IsInstance(volume) && FreeMegabytes(volume, one)) {
            sum += one;
            any = true;
        }
    }
    megabytes = sum;
    return any;
}

void MountSource::List(std::vector<std::string>& names) const
{
    for (const VolumeQuery& volume : volumes_) {
        if (IsInstance(volume))
            names.push_back(volume.mountPoint);
    }
}

namespace {
constexpr std::array<std::string_view, 3> MountSeries = {
    "node_filesystem_size_bytes", "node_filesystem_free_bytes", "node_filesystem_avail_bytes"};
} // namespace

std::span<const std::string_view> MountSource::Series() const
{
    return MountSeries;
}

void MountSource::BeginPage(std::uint64_t)
{
    valid_ = false;
    volumes_.Clear();
    pageSpaces_.clear();
}

void MountSource::TakeSample(const ExpositionPage& page, const ExpositionSample& sample)
{
    const std::string_view field = sample.name.substr(std::string_view("node_filesystem_").size());
    double PageSpace::*target = field == "size_bytes" ? &PageSpace::size
        : field == "free_bytes"                      ? &PageSpace::free
                                                     : &PageSpace::avail;
    const std::string_view mountPoint = page.Label(sample, "mountpoint");
    const std::string_view type = page.Label(sample, "fstype");
    if (mountPoint.empty() || IsPseudoFileSystem(type) || IsSystemMountPoint(mountPoint))
        return;
    // One instance per device, named by its (first listed) mount point.
    const std::uint64_t device = std::hash<std::string_view>{}(page.Label(sample, "device"));
    std::size_t index = 0;
    while (index < volumes_.Size() && volumes_.Items()[index].device != device)
        ++index;
    if (index == volumes_.Size()) {
        VolumeQuery& volume = volumes_.Append();
        volume.mountPoint.assign(mountPoint);
        volume.device = device;
        volume.answer = VolumeAnswer::None;
        volume.space = VolumeSpace{};
        pageSpaces_.emplace_back();
    }
    if (volumes_.Items()[index].mountPoint == mountPoint && std::isfinite(sample.value) && sample.value >= 0.0)
        pageSpaces_[index].*target = sample.value;
}

void MountSource::EndPage()
{
    for (std::size_t i = 0; i < pageSpaces_.size(); ++i) {
        VolumeQuery& volume = volumes_.Items()[i];
        const PageSpace& space = pageSpaces_[i];
        // The page gives bytes: blocks of one byte.
        VolumeSpace bytes{0, 0, 0, 1};
        const bool known = space.size >= 0.0 && space.free >= 0.0 && space.avail >= 0.0
            && PageCount(space.size, 1.0, bytes.blocks) && PageCount(space.free, 1.0, bytes.freeBlocks)
            && PageCount(space.avail, 1.0, bytes.available);
        volume.answer = known ? VolumeAnswer::Ok : VolumeAnswer::Failed;
        volume.space = known ? bytes : VolumeSpace{};
    }
    valid_ = !volumes_.Empty();
}

const ObjectFamily& LogicalDiskFamily()
{
    static const ObjectFamily family{
        "LogicalDisk",
        "The mounted file systems, one instance per device named by its first mount point, and all together (_Total).",
        LogicalDiskCounters(), true, sources::Mounts, MakeLogicalDiskReader, ListLogicalDisks};
    return family;
}

} // namespace quel
