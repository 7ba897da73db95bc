#include "platform/physical_disk_counters.h"

#include "platform/exposition_page.h"
#include "platform/system_snapshot.h"
#include "platform/text_scan.h"

#include <algorithm>
#include <array>
#include <functional>
#include <sys/stat.h>

namespace quel {
namespace {

constexpr std::array<CounterInfo, DiskIoCounterCount> PhysicalDiskCounters = {{
    {"% Disk Time", "%", "The share of time the drive was busy serving requests (io_ticks of /proc/diskstats).",
     "/proc/diskstats: 100 x d(io_ticks, field 13, ms) / d(t, ms), at most 100; _Total: the mean over the disks",
     "node_disk_io_time_seconds_total"},
    {"Disk Read Bytes/sec", "bytes per second", "The bytes read from the drive per second.",
     "/proc/diskstats: d(sectors read, field 6) x 512 / dt; _Total: the sum", "node_disk_read_bytes_total"},
    {"Disk Write Bytes/sec", "bytes per second", "The bytes written to the drive per second.",
     "/proc/diskstats: d(sectors written, field 10) x 512 / dt; _Total: the sum", "node_disk_written_bytes_total"},
    {"% Idle Time", "%", "The share of time the drive had no request to serve.",
     "/proc/diskstats: 100 - % Disk Time; _Total: the mean over the disks", "node_disk_io_time_seconds_total"},
    {"% Disk Read Time", "%",
     "The time spent on reads, summed over the reads served at once, as a percentage of the elapsed time; may exceed 100.",
     "/proc/diskstats: 100 x d(ms reading, field 7) / d(t, ms); _Total: the mean over the disks",
     "node_disk_read_time_seconds_total"},
    {"% Disk Write Time", "%",
     "The time spent on writes, summed over the writes served at once, as a percentage of the elapsed time; may exceed 100.",
     "/proc/diskstats: 100 x d(ms writing, field 11) / d(t, ms); _Total: the mean over the disks",
     "node_disk_write_time_seconds_total"},
    {"Disk Reads/sec", "reads per second", "The reads the drive completed per second.",
     "/proc/diskstats: d(reads completed, field 4) / dt; _Total: the sum", "node_disk_reads_completed_total"},
    {"Disk Writes/sec", "writes per second", "The writes the drive completed per second.",
     "/proc/diskstats: d(writes completed, field 8) / dt; _Total: the sum", "node_disk_writes_completed_total"},
    {"Disk Transfers/sec", "transfers per second", "The reads and writes the drive completed per second.",
     "/proc/diskstats: d(reads + writes completed, fields 4 and 8) / dt; _Total: the sum",
     "node_disk_reads_completed_total and node_disk_writes_completed_total"},
    {"Disk Bytes/sec", "bytes per second", "The bytes read from and written to the drive per second.",
     "/proc/diskstats: d(sectors read + written, fields 6 and 10) x 512 / dt; _Total: the sum",
     "node_disk_read_bytes_total and node_disk_written_bytes_total"},
    {"Avg. Disk sec/Read", "seconds", "The average time a read completed in the interval took, queueing included.",
     "/proc/diskstats: d(ms reading, field 7) / d(reads, field 4) / 1000, no value when no read completed; "
     "_Total: sum of the ms over sum of the reads",
     "node_disk_read_time_seconds_total and node_disk_reads_completed_total"},
    {"Avg. Disk sec/Write", "seconds", "The average time a write completed in the interval took, queueing included.",
     "/proc/diskstats: d(ms writing, field 11) / d(writes, field 8) / 1000, no value when no write completed; "
     "_Total: sum of the ms over sum of the writes",
     "node_disk_write_time_seconds_total and node_disk_writes_completed_total"},
    {"Avg. Disk sec/Transfer", "seconds",
     "The average time a read or write completed in the interval took, queueing included.",
     "/proc/diskstats: d(ms reading + writing, fields 7 and 11) / d(reads + writes, fields 4 and 8) / 1000, no "
     "value when no I/O completed; _Total: sum of the ms over sum of the I/Os",
     "node_disk_read_time_seconds_total, _write_time_seconds_total, _reads_completed_total and "
     "_writes_completed_total"},
    {"Avg. Disk Bytes/Transfer", "bytes", "The average size of the reads and writes completed in the interval.",
     "/proc/diskstats: d(sectors read + written, fields 6 and 10) x 512 / d(reads + writes, fields 4 and 8), no "
     "value when no I/O completed; _Total: sum of the bytes over sum of the I/Os",
     "node_disk_read_bytes_total, _written_bytes_total, _reads_completed_total and _writes_completed_total"},
    {"Current Disk Queue Length", "I/Os", "The reads and writes in progress at the time of the collection.",
     "/proc/diskstats: I/Os in progress, field 12, not a rate; _Total: the sum", "node_disk_io_now"},
    {"Avg. Disk Queue Length", "I/Os", "The average number of reads and writes in progress over the interval.",
     "/proc/diskstats: d(weighted ms doing I/O, field 14) / d(t, ms); _Total: the sum",
     "node_disk_io_time_weighted_seconds_total"},
}};

// How each DiskIoCounter follows from the deltas of its fields over the interval: amount is the
// sum of the deltas of its (up to two) amount fields, ios that of its I/O count fields.
enum class DiskFormula : std::uint8_t {
    BusyPercent,  // 100 x amount ms / elapsed ms, at most 100
    IdlePercent,  // 100 - BusyPercent
    PerSecond,    // amount x scale / elapsed seconds
    PerIo,        // amount x scale / ios; no value without I/O
    Instant,      // the amount field now, not a delta
};

struct DiskIoRecipe {
    DiskFormula formula;
    double scale;
    std::array<DiskField, 2> amount;
    std::array<DiskField, 2> ios;
    bool meanOverDevices;  // _Total: the mean of each device's value, else from the summed deltas
};

constexpr double BytesPerSector = 512.0;
constexpr double SecondsPerMs = 1e-3;
constexpr double PercentPerMsPerSecond = 0.1;  // 100 x ms / 1000 ms
constexpr double QueuePerMsPerSecond = 1e-3;   // ms of I/O per ms elapsed: I/Os in progress

using enum DiskField;
using enum DiskFormula;
constexpr std::array<DiskIoRecipe, DiskIoCounterCount> DiskIoRecipes = {{
    {BusyPercent, 1.0, {IoTicks, None}, {None, None}, true},                        // % Disk Time
    {PerSecond, BytesPerSector, {SectorsRead, None}, {None, None}, false},          // Disk Read Bytes/sec
    {PerSecond, BytesPerSector, {SectorsWritten, None}, {None, None}, false},       // Disk Write Bytes/sec
    {IdlePercent, 1.0, {IoTicks, None}, {None, None}, true},                        // % Idle Time
    {PerSecond, PercentPerMsPerSecond, {ReadMs, None}, {None, None}, true},         // % Disk Read Time
    {PerSecond, PercentPerMsPerSecond, {WriteMs, None}, {None, None}, true},        // % Disk Write Time
    {PerSecond, 1.0, {Reads, None}, {None, None}, false},                           // Disk Reads/sec
    {PerSecond, 1.0, {Writes, None}, {None, None}, false},                          // Disk Writes/sec
    {PerSecond, 1.0, {Reads, Writes}, {None, None}, false},                         // Disk Transfers/sec
    {PerSecond, BytesPerSector, {SectorsRead, SectorsWritten}, {None, None}, false},  // Disk Bytes/sec
    {PerIo, SecondsPerMs, {ReadMs, None}, {Reads, None}, false},                    // Avg. Disk sec/Read
    {PerIo, SecondsPerMs, {WriteMs, None}, {Writes, None}, false},                  // Avg. Disk sec/Write
    {PerIo, SecondsPerMs, {ReadMs, WriteMs}, {Reads, Writes}, false},               // Avg. Disk sec/Transfer
    {PerIo, BytesPerSector, {SectorsRead, SectorsWritten}, {Reads, Writes}, false},  // Avg. Disk Bytes/Transfer
    {Instant, 1.0, {InFlight, None}, {None, None}, false},                          // Current Disk Queue Length
    {PerSecond, QueuePerMsPerSecond, {WeightedMs, None}, {None, None}, false},      // Avg. Disk Queue Length
}};

const DiskIoRecipe& RecipeOf(DiskIoCounter counter)
{
    return DiskIoRecipes[static_cast<std::size_t>(counter)];
}

using DiskRaw = RateBaseline<4>::Raw;

// The raw values a recipe takes from a line: its amount fields, then its I/O count fields.
constexpr std::array<DiskField, 4> RawFields(const DiskIoRecipe& recipe)
{
    return {recipe.amount[0], recipe.amount[1], recipe.ios[0], recipe.ios[1]};
}

DiskRaw Gather(const DiskStat& disk, const DiskIoRecipe& recipe)
{
    DiskRaw raw{};
    const std::array<DiskField, 4> fields = RawFields(recipe);
    for (std::size_t i = 0; i < fields.size(); ++i)
        raw[i] = disk.Field(fields[i]);
    return raw;
}

bool KnowsAll(const DiskStat& disk, const DiskIoRecipe& recipe)
{
    const std::array<DiskField, 4> fields = RawFields(recipe);
    return std::all_of(fields.begin(), fields.end(), [&](DiskField field) { return disk.Knows(field); });
}

// io_ticks is the one field unwrapped modulo 2^32; any other going backwards is a reset.
std::uint32_t WrapMask(const DiskIoRecipe& recipe)
{
    std::uint32_t mask = 0;
    const std::array<DiskField, 4> fields = RawFields(recipe);
    for (std::size_t i = 0; i < fields.size(); ++i)
        mask |= fields[i] == IoTicks ? 1U << i : 0U;
    return mask;
}

double Amount(const DiskRaw& delta)
{
    return static_cast<double>(delta[0]) + static_cast<double>(delta[1]);
}

double Ios(const DiskRaw& delta)
{
    return static_cast<double>(delta[2]) + static_cast<double>(delta[3]);
}

// The percentage of the time the disk was busy, from milliseconds of I/O.
double BusyPercentOf(double ioMs, double seconds)
{
    return std::clamp(100.0 * ioMs / (seconds * 1000.0), 0.0, 100.0);
}

// An average per completed I/O; none when no I/O completed in the interval.
bool AveragePerIo(double amount, double ios, double& value)
{
    if (ios <= 0.0)
        return false;
    value = amount / ios;
    return true;
}

// A counter's value from its deltas over seconds (> 0); false when it cannot be known.
bool DiskIoValue(const DiskIoRecipe& recipe, double amount, double ios, double seconds, double& value)
{
    switch (recipe.formula) {
    case BusyPercent:
        value = BusyPercentOf(amount, seconds);
        return true;
    case IdlePercent:
        value = 100.0 - BusyPercentOf(amount, seconds);
        return true;
    case PerSecond:
        value = amount * recipe.scale / seconds;
        return true;
    case PerIo:
        return AveragePerIo(amount * recipe.scale, ios, value);
    case Instant:
        value = amount;
        return true;
    }
    return false;
}

} // namespace

std::span<const CounterInfo> DiskIoCounterInfos()
{
    return PhysicalDiskCounters;
}

DiskIoTrack::DiskIoTrack(DiskIoCounter counter) : counter_(counter), baseline_(WrapMask(RecipeOf(counter))) {}

PerfStatus DiskIoTrack::Sample(const DiskStat& disk, std::int64_t nowNs, double& value)
{
    const DiskIoRecipe& recipe = RecipeOf(counter_);
    if (!KnowsAll(disk, recipe)) {
        baseline_.Forget();
        return perf_status::Unreadable;
    }
    if (recipe.formula == Instant) {
        value = static_cast<double>(disk.Field(recipe.amount[0]));
        return perf_status::Ok;
    }
    DiskRaw delta{};
    double seconds = 0.0;
    const PerfStatus status = AdvanceRate(baseline_, disk.device, Gather(disk, recipe), nowNs, delta, seconds);
    if (status != perf_status::Ok)
        return status;
    return DiskIoValue(recipe, Amount(delta), Ios(delta), seconds, value) ? perf_status::Ok : perf_status::NoData;
}

void DiskIoTotal::Add(const DiskStat& disk)
{
    const DiskIoRecipe& recipe = RecipeOf(counter_);
    Raw& raw = current_.Append();
    raw.name.assign(disk.name);
    raw.device = disk.device;
    raw.values = Gather(disk, recipe);
    raw.known = KnowsAll(disk, recipe);
}

PerfStatus DiskIoTotal::Finish(std::int64_t nowNs, double& value)
{
    const DiskIoRecipe& recipe = RecipeOf(counter_);
    if (std::none_of(current_.begin(), current_.end(), [](const Raw& raw) { return raw.known; })) {
        Forget();
        return perf_status::Unreadable;
    }
    if (recipe.formula == Instant) {
        value = 0.0;
        for (const Raw& raw : current_)
            value += raw.known ? static_cast<double>(raw.values[0]) : 0.0;
        return perf_status::Ok;
    }
    if (!primed_) {
        Keep(nowNs);
        return perf_status::NoData;
    }
    const std::int64_t elapsedNs = nowNs - previousNs_;
    if (elapsedNs <= 0)
        return perf_status::NoData;
    const double seconds = static_cast<double>(elapsedNs) / 1e9;
    double amount = 0.0;
    double ios = 0.0;
    double sumOfValues = 0.0;
    std::size_t contributing = 0;
    for (const Raw& raw : current_) {
        DiskRaw delta{};
        if (!Delta(raw, delta))
            continue;
        if (recipe.meanOverDevices) {
            double one = 0.0;
            if (!DiskIoValue(recipe, Amount(delta), Ios(delta), seconds, one))
                continue;
            sumOfValues += one;
        } else {
            amount += Amount(delta);
            ios += Ios(delta);
        }
        ++contributing;
    }
    Keep(nowNs);
    if (contributing == 0)
        return perf_status::NoData;
    if (recipe.meanOverDevices) {
        value = sumOfValues / static_cast<double>(contributing);
        return perf_status::Ok;
    }
    return DiskIoValue(recipe, amount, ios, seconds, value) ? perf_status::Ok : perf_status::NoData;
}

void DiskIoTotal::Forget()
{
    previous_.Clear();
    primed_ = false;
}

bool DiskIoTotal::Delta(const Raw& raw, DiskRaw& delta) const
{
    if (!raw.known)
        return false;
    for (const Raw& old : previous_) {
        if (old.device != raw.device || old.name != raw.name || !old.known)
            continue;
        RateBaseline<4> baseline(WrapMask(RecipeOf(counter_)));
        baseline.Store(raw.device, old.values, 0);
        return baseline.Compare(raw.device, raw.values, delta) == RateStep::Ready;
    }
    return false;
}

void DiskIoTotal::Keep(std::int64_t nowNs)
{
    previous_.Swap(current_);
    previousNs_ = nowNs;
    primed_ = true;
}

namespace {

class PhysicalDiskReader final : public CounterReader {
public:
    PhysicalDiskReader(DiskIoCounter counter, std::string_view instance) : instance_(instance), track_(counter) {}

    SourceMask Sources() const override { return sources::DiskStats; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        const DiskSource& disks = snapshot.Disks();
        const DiskStat* disk = disks.Valid() ? disks.Find(instance_) : nullptr;
        if (disk == nullptr) {
            track_.Forget();
            return disks.Valid() ? perf_status::NoInstance : perf_status::Unreadable;
        }
        return track_.Sample(*disk, snapshot.NowNs(), value);
    }

private:
    std::string instance_;
    DiskIoTrack track_;
};

class PhysicalDiskTotalReader final : public CounterReader {
public:
    explicit PhysicalDiskTotalReader(DiskIoCounter counter) : total_(counter) {}

    SourceMask Sources() const override { return sources::DiskStats; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        const DiskSource& disks = snapshot.Disks();
        total_.Begin();
        if (disks.Valid()) {
            for (const DiskStat& disk : disks.Disks())
                total_.Add(disk);
        }
        return total_.Finish(snapshot.NowNs(), value);
    }

private:
    DiskIoTotal total_;
};

std::unique_ptr<CounterReader> MakePhysicalDiskReader(std::size_t counter, std::string_view instance)
{
    const auto kind = static_cast<DiskIoCounter>(counter);
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

constexpr std::uint32_t EveryField = (1U << DiskFieldCount) - 1;

} // namespace

DiskSource::DiskSource(const std::string& procRoot, const std::string& sysRoot)
    : file_(procRoot + "/diskstats"), sysRoot_(sysRoot)
{
}

void DiskSource::Refresh()
{
    disks_.Clear();
    others_.Clear();
    std::string_view content;
    valid_ = file_.Read(content);
    if (!valid_)
        return;
    for (Kind& kind : kinds_)
        kind.seen = false;
    std::size_t lines = 0;
    // "254 0 vda 27550 5748 2017770 5682 8198 6219 602664 4872 0 4836 11689 ...": major, minor,
    // name, then reads, merged, sectors read, ms reading, writes, merged, sectors written, ms
    // writing, in flight, io_ticks, weighted ms (Documentation/admin-guide/iostats.rst).
    std::string_view line;
    while (text::NextLine(content, line)) {
        std::array<std::uint64_t, 11> stats{};
        std::uint64_t major = 0;
        std::uint64_t minor = 0;
        if (!text::ParseU64(text::NextField(line), major) || !text::ParseU64(text::NextField(line), minor))
            continue;
        const std::string_view name = text::NextField(line);
        bool complete = !name.empty();
        for (std::uint64_t& stat : stats)
            complete = complete && text::ParseU64(text::NextField(line), stat);
        if (!complete || major > 0xFFFFFFFFULL || minor > 0xFFFFFFFFULL)
            continue;
        ++lines;
        const std::uint64_t device = major << 32 | minor;
        DiskStat& disk = IsPhysical(name, device) ? disks_.Append() : others_.Append();
        disk.name.assign(name);
        disk.device = device;
        disk.fields = {stats[0], stats[2], stats[3], stats[4], stats[6], stats[7], stats[8], stats[9], stats[10]};
        disk.known = EveryField;
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

const DiskStat* DiskSource::FindDevice(std::uint64_t device) const
{
    for (const SlotList<DiskStat>* list : {&disks_, &others_}) {
        for (const DiskStat& disk : *list) {
            if (disk.device == device)
                return &disk;
        }
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
constexpr double PageMsPerSecond = 1000.0;

// The series of a diskstats field, and the scale from the page's unit to the file's.
struct PageDiskField {
    std::string_view series;  // after "node_disk_"
    DiskField field;
    double scale;
};
constexpr std::array<PageDiskField, DiskFieldCount> PageDiskFields = {{
    {"reads_completed_total", Reads, 1.0},
    {"read_bytes_total", SectorsRead, 1.0 / PageSectorBytes},
    {"read_time_seconds_total", ReadMs, PageMsPerSecond},
    {"writes_completed_total", Writes, 1.0},
    {"written_bytes_total", SectorsWritten, 1.0 / PageSectorBytes},
    {"write_time_seconds_total", WriteMs, PageMsPerSecond},
    {"io_now", InFlight, 1.0},
    {"io_time_seconds_total", IoTicks, PageMsPerSecond},
    {"io_time_weighted_seconds_total", WeightedMs, PageMsPerSecond},
}};

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
    others_.Clear();
}

void DiskSource::TakeSample(const ExpositionPage& page, const ExpositionSample& sample)
{
    const std::string_view series = sample.name.substr(DiskSeries[0].size());
    const std::string_view device = page.Label(sample, "device");
    if (device.empty() || IsVirtualDisk(device))
        return;
    bool added = false;
    if (series == "info") {
        DiskStat& disk = FindOrAppendNamed(disks_, device, added);
        std::uint64_t major = 0, minor = 0;
        if (text::ParseU64(page.Label(sample, "major"), major) && text::ParseU64(page.Label(sample, "minor"), minor)
            && major <= 0xFFFFFFFFULL && minor <= 0xFFFFFFFFULL)
            disk.device = major << 32 | minor;
        return;
    }
    const auto field = std::find_if(PageDiskFields.begin(), PageDiskFields.end(),
                                    [&](const PageDiskField& candidate) { return candidate.series == series; });
    std::uint64_t count = 0;
    if (field == PageDiskFields.end() || !PageCount(sample.value, field->scale, count))
        return;
    DiskStat& disk = FindOrAppendNamed(disks_, device, added);
    // Without node_disk_info (yet) the name alone identifies the disk.
    if (added)
        disk.device = std::hash<std::string_view>{}(device);
    disk.fields[static_cast<std::size_t>(field->field)] = count;
    disk.known |= 1U << static_cast<unsigned>(field->field);
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
