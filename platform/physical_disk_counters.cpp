#include "platform/physical_disk_counters.h"

#include "platform/exposition_page.h"
#include "platform/rate_baseline.h"
#include "platform/system_snapshot.h"
#include "platform/text_scan.h"

#include <algorithm>
#include <array>
#include <functional>
#include <sys/stat.h>

namespace quel {
namespace {

enum class PhysicalDiskCounter { DiskTime, ReadBytes, WriteBytes };

constexpr std::array<CounterSpec, 3> PhysicalDiskCounters = {{
    {"% Disk Time", "%", "The share of time the drive was busy serving requests (io_ticks of /proc/diskstats).",
     "/proc/diskstats: 100 x d(io_ticks, field 13, ms) / d(t, ms), at most 100; _Total: the mean over the disks",
     "node_disk_io_time_seconds_total"},
    {"Disk Read Bytes/sec", "bytes per second", "The bytes read from the drive per second.",
     "/proc/diskstats: d(sectors read, field 6) x 512 / dt; _Total: the sum", "node_disk_read_bytes_total"},
    {"Disk Write Bytes/sec", "bytes per second", "The bytes written to the drive per second.",
     "/proc/diskstats: d(sectors written, field 10) x 512 / dt; _Total: the sum", "node_disk_written_bytes_total"},
}};

constexpr double BytesPerSector = 512.0;
constexpr double NsPerMs = 1e6;

std::uint64_t RawField(const DiskStat& disk, PhysicalDiskCounter counter)
{
    switch (counter) {
    case PhysicalDiskCounter::DiskTime:
        return disk.ioTicks;
    case PhysicalDiskCounter::ReadBytes:
        return disk.sectorsRead;
    case PhysicalDiskCounter::WriteBytes:
        return disk.sectorsWritten;
    }
    return 0;
}

std::uint32_t WrapMask(PhysicalDiskCounter counter)
{
    return counter == PhysicalDiskCounter::DiskTime ? 1U : 0U;
}

// The percentage of the time the disk was busy, from milliseconds of I/O over nanoseconds.
double BusyPercent(std::uint64_t ioMs, std::int64_t elapsedNs)
{
    return std::clamp(100.0 * static_cast<double>(ioMs) * NsPerMs / static_cast<double>(elapsedNs), 0.0, 100.0);
}

class PhysicalDiskReader final : public CounterReader {
public:
    PhysicalDiskReader(PhysicalDiskCounter counter, std::string_view instance)
        : counter_(counter), instance_(instance), baseline_(WrapMask(counter))
    {
    }

    SourceMask Sources() const override { return sources::DiskStats; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        const DiskSource& disks = snapshot.Disks();
        const DiskStat* disk = disks.Valid() ? disks.Find(instance_) : nullptr;
        if (disk == nullptr) {
            baseline_.Forget();
            return disks.Valid() ? perf_status::NoInstance : perf_status::Unreadable;
        }
        RateBaseline<1>::Raw delta{};
        double seconds = 0.0;
        const std::int64_t nowNs = snapshot.NowNs();
        const std::int64_t sinceNs = nowNs - baseline_.TimeNs();
        const PerfStatus status = AdvanceRate(baseline_, disk->device, {RawField(*disk, counter_)}, nowNs, delta, seconds);
        if (status != perf_status::Ok)
            return status;
        value = counter_ == PhysicalDiskCounter::DiskTime ? BusyPercent(delta[0], sinceNs)
                                                          : static_cast<double>(delta[0]) * BytesPerSector / seconds;
        return perf_status::Ok;
    }

private:
    PhysicalDiskCounter counter_;
    std::string instance_;
    RateBaseline<1> baseline_;
};

// _Total: % Disk Time is the mean over the disks, the byte rates their sum. Each disk keeps its
// own raw value; a disk seen for the first time, or one that was reset, sits out one collection.
class PhysicalDiskTotalReader final : public CounterReader {
public:
    explicit PhysicalDiskTotalReader(PhysicalDiskCounter counter) : counter_(counter) {}

    SourceMask Sources() const override { return sources::DiskStats; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        const DiskSource& disks = snapshot.Disks();
        if (!disks.Valid() || disks.Disks().empty()) {
            previous_.Clear();
            primed_ = false;
            return perf_status::Unreadable;
        }
        current_.Clear();
        for (const DiskStat& disk : disks.Disks()) {
            Raw& raw = current_.Append();
            raw.name.assign(disk.name);
            raw.device = disk.device;
            raw.value = RawField(disk, counter_);
        }
        const std::int64_t nowNs = snapshot.NowNs();
        if (!primed_) {
            Keep(nowNs);
            return perf_status::NoData;
        }
        const std::int64_t elapsedNs = nowNs - previousNs_;
        if (elapsedNs <= 0)
            return perf_status::NoData;
        double sum = 0.0;
        std::size_t contributing = 0;
        for (const Raw& raw : current_) {
            std::uint64_t delta = 0;
            if (Delta(raw, delta)) {
                sum += counter_ == PhysicalDiskCounter::DiskTime ? BusyPercent(delta, elapsedNs)
                                                                 : static_cast<double>(delta) * BytesPerSector;
                ++contributing;
            }
        }
        Keep(nowNs);
        if (contributing == 0)
            return perf_status::NoData;
        value = counter_ == PhysicalDiskCounter::DiskTime ? sum / static_cast<double>(contributing)
                                                          : sum * 1e9 / static_cast<double>(elapsedNs);
        return perf_status::Ok;
    }

private:
    struct Raw {
        std::string name;
        std::uint64_t device = 0;
        std::uint64_t value = 0;
    };

    bool Delta(const Raw& raw, std::uint64_t& delta) const
    {
        for (const Raw& old : previous_) {
            if (old.device != raw.device || old.name != raw.name)
                continue;
            RateBaseline<1> baseline(WrapMask(counter_));
            baseline.Store(raw.device, {old.value}, 0);
            RateBaseline<1>::Raw out{};
            if (baseline.Compare(raw.device, {raw.value}, out) != RateStep::Ready)
                return false;
            delta = out[0];
            return true;
        }
        return false;
    }

    void Keep(std::int64_t nowNs)
    {
        previous_.Swap(current_);
        previousNs_ = nowNs;
        primed_ = true;
    }

    PhysicalDiskCounter counter_;
    SlotList<Raw> previous_;
    SlotList<Raw> current_;
    std::int64_t previousNs_ = 0;
    bool primed_ = false;
};

std::unique_ptr<CounterReader> MakePhysicalDiskReader(std::size_t counter, std::string_view instance)
{
    const auto kind = static_cast<PhysicalDiskCounter>(counter);
    if (instance == TotalInstance)
        return std::make_unique<PhysicalDiskTotalReader>(kind);
    return std::make_unique<PhysicalDiskReader>(kind, instance);
}

void ListPhysicalDisks(SystemSnapshot& snapshot, std::vector<std::string>& instances)
{
    snapshot.Disks().List(instances);
    if (!instances.empty())
        instances.emplace_back(TotalInstance);
}

} // namespace

DiskSource::DiskSource(const std::string& procRoot, const std::string& sysRoot)
    : file_(procRoot + "/diskstats"), sysRoot_(sysRoot)
{
}

void DiskSource::Refresh()
{
    disks_.Clear();
    std::string_view content;
    valid_ = file_.Read(content);
    if (!valid_)
        return;
    for (Kind& kind : kinds_)
        kind.seen = false;
    std::size_t lines = 0;
    // "254 0 vda 27550 5748 2017770 5682 8198 6219 602664 4872 0 4836 ...": major, minor, name,
    // then reads, merged, sectors read, ms, writes, merged, sectors written, ms, in flight, io_ticks.
    std::string_view line;
    while (text::NextLine(content, line)) {
        std::array<std::uint64_t, 10> fields{};
        std::uint64_t major = 0;
        std::uint64_t minor = 0;
        if (!text::ParseU64(text::NextField(line), major) || !text::ParseU64(text::NextField(line), minor))
            continue;
        const std::string_view name = text::NextField(line);
        bool complete = !name.empty();
        for (std::uint64_t& field : fields)
            complete = complete && text::ParseU64(text::NextField(line), field);
        if (!complete || major > 0xFFFFFFFFULL || minor > 0xFFFFFFFFULL)
            continue;
        ++lines;
        const std::uint64_t device = major << 32 | minor;
        if (!IsPhysical(name, device))
            continue;
        DiskStat& disk = disks_.Append();
        disk.name.assign(name);
        disk.device = device;
        disk.sectorsRead = fields[2];
        disk.sectorsWritten = fields[6];
        disk.ioTicks = fields[9];
    }
    if (kinds_.size() > lines)
        ForgetUnseenKinds();
}

bool DiskSource::IsPhysical(std::string_view name, std::uint64_t device)
{
    for (Kind& kind : kinds_) {
        if (kind.device == device && kind.name == name) {
            kind.seen = true;
            return kind.physical;
        }
    }
    // Names with "/" (cciss/c0d0) appear in sysfs with "!" instead.
    std::string sysName(name);
    std::replace(sysName.begin(), sysName.end(), '/', '!');
    struct stat info {};
    const bool physical = sysName != "." && sysName != ".."
        && ::stat((sysRoot_ + "/block/" + sysName + "/device").c_str(), &info) == 0;
    kinds_.push_back(Kind{std::string(name), device, physical, true});
    return physical;
}

void DiskSource::ForgetUnseenKinds()
{
    std::erase_if(kinds_, [](const Kind& kind) { return !kind.seen; });
}

const DiskStat* DiskSource::Find(std::string_view name) const
{
    for (const DiskStat& disk : disks_) {
        if (disk.name == name)
            return &disk;
    }
    return nullptr;
}

void DiskSource::List(std::vector<std::string>& names) const
{
    for (const DiskStat& disk : disks_)
        names.push_back(disk.name);
}

// --- a node exporter page ----------------------------------------------------------------------

namespace {
constexpr std::array<std::string_view, 1> DiskSeries = {"node_disk_"};
constexpr double PageSectorBytes = 512.0;

// Devices the local provider leaves out because sysfs shows no device behind them; the node
// exporter already leaves out partitions, loop and ram disks.
bool IsVirtualDisk(std::string_view name)
{
    return name.starts_with("dm-") || name.starts_with("md") || name.starts_with("zram") || name.starts_with("nbd")
        || name.starts_with("loop") || name.starts_with("ram");
}
} // namespace

std::span<const std::string_view> DiskSource::Series() const
{
    return DiskSeries;
}

void DiskSource::BeginPage(std::uint64_t)
{
    valid_ = false;
    disks_.Clear();
}

void DiskSource::TakeSample(const ExpositionPage& page, const ExpositionSample& sample)
{
    const std::string_view field = sample.name.substr(DiskSeries[0].size());
    const std::string_view device = page.Label(sample, "device");
    if (device.empty() || IsVirtualDisk(device))
        return;
    bool added = false;
    if (field == "info") {
        DiskStat& disk = FindOrAppendNamed(disks_, device, added);
        std::uint64_t major = 0, minor = 0;
        if (text::ParseU64(page.Label(sample, "major"), major) && text::ParseU64(page.Label(sample, "minor"), minor)
            && major <= 0xFFFFFFFFULL && minor <= 0xFFFFFFFFULL)
            disk.device = major << 32 | minor;
        return;
    }
    std::uint64_t DiskStat::*target = field == "read_bytes_total" ? &DiskStat::sectorsRead
        : field == "written_bytes_total"                          ? &DiskStat::sectorsWritten
        : field == "io_time_seconds_total"                        ? &DiskStat::ioTicks
                                                                  : nullptr;
    const double scale = target == &DiskStat::ioTicks ? 1000.0 : 1.0 / PageSectorBytes;
    std::uint64_t count = 0;
    if (target == nullptr || !PageCount(sample.value, scale, count))
        return;
    DiskStat& disk = FindOrAppendNamed(disks_, device, added);
    // Without node_disk_info (yet) the name alone identifies the disk.
    if (added)
        disk.device = std::hash<std::string_view>{}(device);
    disk.*target = count;
}

void DiskSource::EndPage()
{
    valid_ = !disks_.Empty();
}

const ObjectFamily& PhysicalDiskFamily()
{
    static constexpr ObjectFamily family{
        "PhysicalDisk",
        "The whole disks (those with a device in /sys/block/NAME/device), each one and all together (_Total).",
        PhysicalDiskCounters, true, sources::DiskStats, MakePhysicalDiskReader, ListPhysicalDisks};
    return family;
}

} // namespace quel
