#include "platform/memory_counters.h"

#include "platform/rate_baseline.h"
#include "platform/system_snapshot.h"
#include "platform/text_scan.h"

#include <array>

namespace quel {
namespace {

enum class MemoryCounter { CommittedInUse, AvailableBytes, CommittedBytes, CommitLimit, PagesPerSec, PageFaultsPerSec };

constexpr std::array<std::string_view, 6> MemoryCounterNames = {
    "% Committed Bytes In Use", "Available Bytes", "Committed Bytes", "Commit Limit", "Pages/sec", "Page Faults/sec"};

constexpr double BytesPerKib = 1024.0;

void ReadMemInfoField(std::string_view key, std::string_view rest, MemInfo& info)
{
    struct Field {
        std::string_view key;
        std::uint64_t MemInfo::*value;
        bool MemInfo::*present;
    };
    static constexpr std::array<Field, 6> fields = {{
        {"MemTotal:", &MemInfo::memTotal, &MemInfo::hasMemTotal},
        {"MemFree:", &MemInfo::memFree, &MemInfo::hasMemFree},
        {"MemAvailable:", &MemInfo::memAvailable, &MemInfo::hasMemAvailable},
        {"SwapTotal:", &MemInfo::swapTotal, &MemInfo::hasSwapTotal},
        {"CommitLimit:", &MemInfo::commitLimit, &MemInfo::hasCommitLimit},
        {"Committed_AS:", &MemInfo::committedAs, &MemInfo::hasCommittedAs},
    }};
    for (const Field& field : fields) {
        if (key == field.key) {
            info.*(field.present) = text::ParseU64(text::NextField(rest), info.*(field.value));
            return;
        }
    }
}

class MemoryReader final : public CounterReader {
public:
    explicit MemoryReader(MemoryCounter counter) : counter_(counter) {}

    SourceMask Sources() const override
    {
        switch (counter_) {
        case MemoryCounter::CommittedInUse:
        case MemoryCounter::CommitLimit:
            return sources::MemInfo | sources::Overcommit;
        case MemoryCounter::AvailableBytes:
        case MemoryCounter::CommittedBytes:
            return sources::MemInfo;
        case MemoryCounter::PagesPerSec:
        case MemoryCounter::PageFaultsPerSec:
            return sources::VmStat;
        }
        return 0;
    }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        const MemorySource& memory = snapshot.Memory();
        if (counter_ == MemoryCounter::PagesPerSec || counter_ == MemoryCounter::PageFaultsPerSec)
            return SampleRate(memory.Vm(), snapshot.NowNs(), value);
        const MemInfo* info = memory.Info();
        if (info == nullptr)
            return perf_status::Unreadable;
        std::uint64_t limit = 0;
        switch (counter_) {
        case MemoryCounter::CommittedInUse:
            if (!info->hasCommittedAs || !memory.CommitLimit(limit) || limit == 0)
                return perf_status::Unreadable;
            value = 100.0 * static_cast<double>(info->committedAs) / static_cast<double>(limit);
            return perf_status::Ok;
        case MemoryCounter::AvailableBytes:
            if (!info->hasMemAvailable && !info->hasMemFree)
                return perf_status::Unreadable;
            value = static_cast<double>(info->hasMemAvailable ? info->memAvailable : info->memFree) * BytesPerKib;
            return perf_status::Ok;
        case MemoryCounter::CommittedBytes:
            if (!info->hasCommittedAs)
                return perf_status::Unreadable;
            value = static_cast<double>(info->committedAs) * BytesPerKib;
            return perf_status::Ok;
        case MemoryCounter::CommitLimit:
            if (!memory.CommitLimit(limit))
                return perf_status::Unreadable;
            value = static_cast<double>(limit) * BytesPerKib;
            return perf_status::Ok;
        default:
            return perf_status::Unreadable;
        }
    }

private:
    PerfStatus SampleRate(const VmStat* vm, std::int64_t nowNs, double& value)
    {
        const bool swapping = counter_ == MemoryCounter::PagesPerSec;
        if (vm == nullptr || !(swapping ? vm->hasSwapping : vm->hasFaults)) {
            baseline_.Forget();
            return perf_status::Unreadable;
        }
        const RateBaseline<1>::Raw raw = {swapping ? vm->pswpin + vm->pswpout : vm->pgfault};
        RateBaseline<1>::Raw delta{};
        double seconds = 0.0;
        const PerfStatus status = AdvanceRate(baseline_, 0, raw, nowNs, delta, seconds);
        if (status == perf_status::Ok)
            value = static_cast<double>(delta[0]) / seconds;
        return status;
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
    bool hasIn = false;
    bool hasOut = false;
    std::string_view line;
    while (text::NextLine(content, line)) {
        std::string_view rest = line;
        const std::string_view key = text::NextField(rest);
        const std::string_view number = text::NextField(rest);
        if (key == "pswpin")
            hasIn = text::ParseU64(number, vm_.pswpin);
        else if (key == "pswpout")
            hasOut = text::ParseU64(number, vm_.pswpout);
        else if (key == "pgfault")
            vm_.hasFaults = text::ParseU64(number, vm_.pgfault);
    }
    vm_.hasSwapping = hasIn && hasOut;
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

const ObjectFamily& MemoryFamily()
{
    static constexpr ObjectFamily family{"Memory", MemoryCounterNames, false, 0, MakeMemoryReader, ListNoInstances};
    return family;
}

} // namespace quel
