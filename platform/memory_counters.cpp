#include "platform/memory_counters.h"

#include "platform/exposition_page.h"
#include "platform/rate_baseline.h"
#include "platform/system_snapshot.h"
#include "platform/text_scan.h"

#include <array>

namespace quel {
namespace {

enum class MemoryCounter {
    CommittedInUse, AvailableBytes, CommittedBytes, CommitLimit, PagesPerSec, PageFaultsPerSec,
    AvailableKBytes, AvailableMBytes, CacheBytes, FreeZeroPageListBytes, ModifiedPageListBytes, PoolPagedBytes,
    PoolNonpagedBytes, PagesInputPerSec, PagesOutputPerSec, PageReadsPerSec,
};

constexpr std::array<CounterInfo, 16> MemoryCounters = {{
    {"% Committed Bytes In Use", "%",
     "The memory promised to processes (Committed_AS) as a percentage of the commit limit; it may exceed 100.",
     "/proc/meminfo: 100 x Committed_AS / Commit Limit",
     "node_memory_Committed_AS_bytes over the Commit Limit below"},
    {"Available Bytes", "bytes", "The bytes of physical memory that can be given to programs without swapping (MemAvailable).",
     "/proc/meminfo: MemAvailable (MemFree on kernels without it) x 1024", "node_memory_MemAvailable_bytes"},
    {"Committed Bytes", "bytes", "The bytes of memory promised to processes (Committed_AS of /proc/meminfo).",
     "/proc/meminfo: Committed_AS x 1024", "node_memory_Committed_AS_bytes"},
    {"Commit Limit", "bytes",
     "The bytes that can be committed: CommitLimit under strict overcommit, else physical memory plus swap.",
     "/proc/meminfo: CommitLimit when /proc/sys/vm/overcommit_memory is 2, else MemTotal + SwapTotal; x 1024",
     "node_memory_MemTotal_bytes + node_memory_SwapTotal_bytes (the page does not tell the overcommit mode)"},
    {"Pages/sec", "per second", "The pages swapped in and out per second (pswpin and pswpout of /proc/vmstat).",
     "/proc/vmstat: d(pswpin + pswpout) / dt", "node_vmstat_pswpin, node_vmstat_pswpout"},
    {"Page Faults/sec", "per second", "The page faults per second, minor ones included (pgfault of /proc/vmstat).",
     "/proc/vmstat: d(pgfault) / dt", "node_vmstat_pgfault"},
    {"Available KBytes", "KiB", "The Available Bytes in kibibytes.",
     "/proc/meminfo: MemAvailable (MemFree on kernels without it), kB as they are",
     "node_memory_MemAvailable_bytes / 1024"},
    {"Available MBytes", "MiB", "The Available Bytes in mebibytes.",
     "/proc/meminfo: MemAvailable (MemFree on kernels without it) / 1024",
     "node_memory_MemAvailable_bytes / 1048576"},
    {"Cache Bytes", "bytes",
     "The bytes of memory holding file contents and reclaimable kernel caches, as `free` counts buff/cache.",
     "/proc/meminfo: (Cached + Buffers + SReclaimable) x 1024",
     "node_memory_Cached_bytes + node_memory_Buffers_bytes + node_memory_SReclaimable_bytes"},
    {"Free & Zero Page List Bytes", "bytes", "The bytes of physical memory that hold nothing at all (MemFree).",
     "/proc/meminfo: MemFree x 1024", "node_memory_MemFree_bytes"},
    {"Modified Page List Bytes", "bytes",
     "The bytes of file pages changed in memory and not yet written back, or being written back.",
     "/proc/meminfo: (Dirty + Writeback) x 1024", "node_memory_Dirty_bytes + node_memory_Writeback_bytes"},
    {"Pool Paged Bytes", "bytes", "The bytes of kernel slab memory that can be reclaimed under pressure.",
     "/proc/meminfo: SReclaimable x 1024", "node_memory_SReclaimable_bytes"},
    {"Pool Nonpaged Bytes", "bytes", "The bytes of kernel slab memory that cannot be reclaimed.",
     "/proc/meminfo: SUnreclaim x 1024", "node_memory_SUnreclaim_bytes"},
    {"Pages Input/sec", "per second", "The pages read in from swap per second.", "/proc/vmstat: d(pswpin) / dt",
     "node_vmstat_pswpin"},
    {"Pages Output/sec", "per second", "The pages written out to swap per second.", "/proc/vmstat: d(pswpout) / dt",
     "node_vmstat_pswpout"},
    {"Page Reads/sec", "per second",
     "The page faults per second that had to read from disk (major faults: file pages and swap).",
     "/proc/vmstat: d(pgmajfault) / dt", "node_vmstat_pgmajfault"},
}};

constexpr double BytesPerKib = 1024.0;
constexpr double KibPerMib = 1024.0;

// A /proc/meminfo field ("MemTotal:       16000000 kB"); the node exporter serves it as
// node_memory_<field>_bytes, with "(" and ")" made "_" and "" ("Active(anon)": Active_anon).
struct MemInfoField {
    std::string_view name;
    std::uint64_t MemInfo::*value;
    bool MemInfo::*present;
};
constexpr std::array<MemInfoField, 12> MemInfoFields = {{
    {"MemTotal", &MemInfo::memTotal, &MemInfo::hasMemTotal},
    {"MemFree", &MemInfo::memFree, &MemInfo::hasMemFree},
    {"MemAvailable", &MemInfo::memAvailable, &MemInfo::hasMemAvailable},
    {"Buffers", &MemInfo::buffers, &MemInfo::hasBuffers},
    {"Cached", &MemInfo::cached, &MemInfo::hasCached},
    {"SwapTotal", &MemInfo::swapTotal, &MemInfo::hasSwapTotal},
    {"Dirty", &MemInfo::dirty, &MemInfo::hasDirty},
    {"Writeback", &MemInfo::writeback, &MemInfo::hasWriteback},
    {"SReclaimable", &MemInfo::sReclaimable, &MemInfo::hasSReclaimable},
    {"SUnreclaim", &MemInfo::sUnreclaim, &MemInfo::hasSUnreclaim},
    {"CommitLimit", &MemInfo::commitLimit, &MemInfo::hasCommitLimit},
    {"Committed_AS", &MemInfo::committedAs, &MemInfo::hasCommittedAs},
}};

// A /proc/vmstat field; the node exporter serves it as node_vmstat_<field>.
struct VmStatField {
    std::string_view name;
    std::uint64_t VmStat::*value;
    bool VmStat::*present;
};
constexpr std::array<VmStatField, 4> VmStatFields = {{
    {"pswpin", &VmStat::pswpin, &VmStat::hasPswpin},
    {"pswpout", &VmStat::pswpout, &VmStat::hasPswpout},
    {"pgfault", &VmStat::pgfault, &VmStat::hasFaults},
    {"pgmajfault", &VmStat::pgmajfault, &VmStat::hasMajorFaults},
}};

constexpr std::string_view MemInfoPrefix = "node_memory_";
constexpr std::string_view MemInfoSuffix = "_bytes";
constexpr std::string_view VmStatPrefix = "node_vmstat_";
constexpr std::array<std::string_view, 2> MemorySeries = {MemInfoPrefix, VmStatPrefix};

template <typename Fields>
const auto* FindField(const Fields& fields, std::string_view name)
{
    for (const auto& field : fields) {
        if (field.name == name)
            return &field;
    }
    return static_cast<const typename Fields::value_type*>(nullptr);
}

void ReadMemInfoField(std::string_view key, std::string_view rest, MemInfo& info)
{
    if (!key.ends_with(':'))
        return;
    if (const MemInfoField* field = FindField(MemInfoFields, key.substr(0, key.size() - 1)))
        info.*(field->present) = text::ParseU64(text::NextField(rest), info.*(field->value));
}

void FinishVmStat(VmStat& vm)
{
    vm.hasSwapping = vm.hasPswpin && vm.hasPswpout;
}

// Sums of fields; false when a field is missing or (in a corrupted file) the sum would wrap.
bool SumKib(std::uint64_t a, bool hasA, std::uint64_t b, bool hasB, std::uint64_t& sum)
{
    return hasA && hasB && !__builtin_add_overflow(a, b, &sum);
}

// A counter's raw count from /proc/vmstat; false when the file does not give it.
bool VmCount(MemoryCounter counter, const VmStat& vm, std::uint64_t& count)
{
    switch (counter) {
    case MemoryCounter::PagesPerSec:
        return vm.hasSwapping && !__builtin_add_overflow(vm.pswpin, vm.pswpout, &count);
    case MemoryCounter::PageFaultsPerSec:
        count = vm.pgfault;
        return vm.hasFaults;
    case MemoryCounter::PagesInputPerSec:
        count = vm.pswpin;
        return vm.hasPswpin;
    case MemoryCounter::PagesOutputPerSec:
        count = vm.pswpout;
        return vm.hasPswpout;
    case MemoryCounter::PageReadsPerSec:
        count = vm.pgmajfault;
        return vm.hasMajorFaults;
    default:
        return false;
    }
}

bool IsRate(MemoryCounter counter)
{
    return counter == MemoryCounter::PagesPerSec || counter == MemoryCounter::PageFaultsPerSec
        || counter == MemoryCounter::PagesInputPerSec || counter == MemoryCounter::PagesOutputPerSec
        || counter == MemoryCounter::PageReadsPerSec;
}

class MemoryReader final : public CounterReader {
public:
    explicit MemoryReader(MemoryCounter counter) : counter_(counter) {}

    SourceMask Sources() const override
    {
        if (IsRate(counter_))
            return sources::VmStat;
        if (counter_ == MemoryCounter::CommittedInUse || counter_ == MemoryCounter::CommitLimit)
            return sources::MemInfo | sources::Overcommit;
        return sources::MemInfo;
    }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        const MemorySource& memory = snapshot.Memory();
        if (IsRate(counter_))
            return SampleRate(memory.Vm(), snapshot.NowNs(), value);
        const MemInfo* info = memory.Info();
        if (info == nullptr)
            return perf_status::Unreadable;
        if (counter_ == MemoryCounter::CommittedInUse) {
            std::uint64_t limit = 0;
            if (!info->hasCommittedAs || !memory.CommitLimit(limit) || limit == 0)
                return perf_status::Unreadable;
            value = 100.0 * static_cast<double>(info->committedAs) / static_cast<double>(limit);
            return perf_status::Ok;
        }
        std::uint64_t kib = 0;
        if (!Kib(memory, *info, kib))
            return perf_status::Unreadable;
        value = static_cast<double>(kib) * BytesPerKib / Unit();
        return perf_status::Ok;
    }

private:
    // The counter's amount of memory in KiB, as /proc/meminfo gives it.
    bool Kib(const MemorySource& memory, const MemInfo& info, std::uint64_t& kib) const
    {
        switch (counter_) {
        case MemoryCounter::AvailableBytes:
        case MemoryCounter::AvailableKBytes:
        case MemoryCounter::AvailableMBytes:
            kib = info.hasMemAvailable ? info.memAvailable : info.memFree;
            return info.hasMemAvailable || info.hasMemFree;
        case MemoryCounter::CommittedBytes:
            kib = info.committedAs;
            return info.hasCommittedAs;
        case MemoryCounter::CommitLimit:
            return memory.CommitLimit(kib);
        case MemoryCounter::CacheBytes: {
            std::uint64_t pageCache = 0;
            return SumKib(info.cached, info.hasCached, info.buffers, info.hasBuffers, pageCache)
                && SumKib(pageCache, true, info.sReclaimable, info.hasSReclaimable, kib);
        }
        case MemoryCounter::FreeZeroPageListBytes:
            kib = info.memFree;
            return info.hasMemFree;
        case MemoryCounter::ModifiedPageListBytes:
            return SumKib(info.dirty, info.hasDirty, info.writeback, info.hasWriteback, kib);
        case MemoryCounter::PoolPagedBytes:
            kib = info.sReclaimable;
            return info.hasSReclaimable;
        case MemoryCounter::PoolNonpagedBytes:
            kib = info.sUnreclaim;
            return info.hasSUnreclaim;
        default:
            return false;
        }
    }

    // The bytes in one unit of the counter.
    double Unit() const
    {
        return counter_ == MemoryCounter::AvailableKBytes ? BytesPerKib
            : counter_ == MemoryCounter::AvailableMBytes  ? BytesPerKib * KibPerMib
                                                          : 1.0;
    }

    PerfStatus SampleRate(const VmStat* vm, std::int64_t nowNs, double& value)
    {
        std::uint64_t count = 0;
        if (vm == nullptr || !VmCount(counter_, *vm, count)) {
            baseline_.Forget();
            return perf_status::Unreadable;
        }
        return CountPerSecond(baseline_, count, nowNs, value);
    }

    MemoryCounter counter_;
    RateBaseline<1> baseline_;
};

std::unique_ptr<CounterReader> MakeMemoryReader(std::size_t counter, std::string_view)
{
    return std::make_unique<MemoryReader>(static_cast<MemoryCounter>(counter));
}

} // namespace

MemorySource::MemorySource(const std::string& procRoot)
    : meminfo_(procRoot + "/meminfo"), overcommit_(procRoot + "/sys/vm/overcommit_memory"), vmstat_(procRoot + "/vmstat")
{
}

void MemorySource::RefreshMemInfo()
{
    std::string_view content;
    infoValid_ = meminfo_.Read(content);
    if (!infoValid_)
        return;
    info_ = MemInfo{};
    std::string_view line;
    while (text::NextLine(content, line)) {
        std::string_view rest = line;
        ReadMemInfoField(text::NextField(rest), rest, info_);
    }
    infoValid_ = info_.hasMemTotal;
}

void MemorySource::RefreshOvercommit()
{
    // Without the file (an old kernel, a fixture) the heuristic mode 0 holds.
    std::string_view content;
    strictOvercommit_ = overcommit_.Read(content) && text::Trim(content) == "2";
}

void MemorySource::RefreshVmStat()
{
    std::string_view content;
    vmValid_ = vmstat_.Read(content);
    if (!vmValid_)
        return;
    vm_ = VmStat{};
    std::string_view line;
    while (text::NextLine(content, line)) {
        std::string_view rest = line;
        const std::string_view key = text::NextField(rest);
        if (const VmStatField* field = FindField(VmStatFields, key))
            vm_.*(field->present) = text::ParseU64(text::NextField(rest), vm_.*(field->value));
    }
    FinishVmStat(vm_);
}

bool MemorySource::CommitLimit(std::uint64_t& kib) const
{
    if (!infoValid_)
        return false;
    if (strictOvercommit_) {
        kib = info_.commitLimit;
        return info_.hasCommitLimit;
    }
    // A sum that wraps comes from a corrupted file, never from a kernel.
    return info_.hasMemTotal && info_.hasSwapTotal && !__builtin_add_overflow(info_.memTotal, info_.swapTotal, &kib);
}

std::span<const std::string_view> MemorySource::Series() const
{
    return MemorySeries;
}

void MemorySource::BeginPage(std::uint64_t)
{
    info_ = MemInfo{};
    vm_ = VmStat{};
    infoValid_ = false;
    vmValid_ = false;
    strictOvercommit_ = false;  // the page does not tell the overcommit mode
}

void MemorySource::TakeSample(const ExpositionPage&, const ExpositionSample& sample)
{
    const std::string_view name = sample.name;
    if (name.starts_with(VmStatPrefix)) {
        if (const VmStatField* field = FindField(VmStatFields, name.substr(VmStatPrefix.size())))
            vm_.*(field->present) = PageCount(sample.value, 1.0, vm_.*(field->value));
        return;
    }
    if (!name.ends_with(MemInfoSuffix) || name.size() < MemInfoPrefix.size() + MemInfoSuffix.size())
        return;
    const std::string_view key = name.substr(MemInfoPrefix.size(), name.size() - MemInfoPrefix.size() - MemInfoSuffix.size());
    if (const MemInfoField* field = FindField(MemInfoFields, key))
        info_.*(field->present) = PageCount(sample.value, 1.0 / PageBytesPerKib, info_.*(field->value));
}

void MemorySource::EndPage()
{
    infoValid_ = info_.hasMemTotal;
    FinishVmStat(vm_);
    vmValid_ = vm_.hasPswpin || vm_.hasPswpout || vm_.hasFaults || vm_.hasMajorFaults;
}

const ObjectFamily& MemoryFamily()
{
    static constexpr ObjectFamily family{"Memory",
        "The computer's physical memory, the memory promised to processes and the paging between memory and swap.",
        MemoryCounters, false, 0, MakeMemoryReader, ListNoInstances};
    return family;
}

} // namespace quel
