#include "platform/paging_file_counters.h"

#include "platform/exposition_page.h"
#include "platform/system_snapshot.h"
#include "platform/text_scan.h"

#include <algorithm>
#include <array>

namespace quel {
namespace {

enum class PagingFileCounter { Usage, UsagePeak };

constexpr std::array<CounterInfo, 2> PagingFileCounters = {{
    {"% Usage", "%", "The used part of a swap area (or of all of them) as a percentage of its size.",
     "/proc/swaps: 100 x Used / Size; _Total: 100 x sum of Used / sum of Size",
     "_Total only: 100 x (node_memory_SwapTotal_bytes - node_memory_SwapFree_bytes) / node_memory_SwapTotal_bytes"},
    {"% Usage Peak", "%", "The highest swap usage in percent seen since the monitor started.",
     "the highest % Usage this provider has seen", "_Total only, the highest % Usage seen"},
}};

class PagingFileReader final : public CounterReader {
public:
    PagingFileReader(PagingFileCounter counter, std::string_view instance)
        : counter_(counter), instance_(instance), total_(instance == TotalInstance)
    {
    }

    SourceMask Sources() const override { return sources::Swaps; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        const SwapSource& swaps = snapshot.Swaps();
        if (!swaps.Valid())
            return perf_status::Unreadable;
        if (total_) {
            const bool known = counter_ == PagingFileCounter::Usage ? swaps.TotalUsage(value) : swaps.TotalPeak(value);
            return known ? perf_status::Ok : perf_status::Unreadable;
        }
        const SwapArea* area = swaps.Find(instance_);
        if (area == nullptr)
            return perf_status::NoInstance;
        const bool known = counter_ == PagingFileCounter::Usage ? SwapSource::Usage(area->usedKib, area->sizeKib, value)
                                                                 : swaps.Peak(instance_, value);
        return known ? perf_status::Ok : perf_status::Unreadable;
    }

private:
    PagingFileCounter counter_;
    std::string instance_;
    bool total_;
};

std::unique_ptr<CounterReader> MakePagingFileReader(std::size_t counter, std::string_view instance)
{
    return std::make_unique<PagingFileReader>(static_cast<PagingFileCounter>(counter), instance);
}

void ListPagingFiles(SystemSnapshot& snapshot, std::vector<std::string>& instances)
{
    snapshot.Swaps().List(instances);
    if (snapshot.Swaps().HasSwap())
        instances.emplace_back(TotalInstance);
}

} // namespace

SwapSource::SwapSource(const std::string& procRoot) : file_(procRoot + "/swaps") {}

void SwapSource::Refresh()
{
    areas_.Clear();
    std::string_view content;
    valid_ = file_.Read(content);
    if (!valid_)
        return;
    std::string_view line;
    text::NextLine(content, line);  // "Filename Type Size Used Priority"
    while (text::NextLine(content, line)) {
        const std::string_view name = text::NextField(line);
        text::NextField(line);  // type
        std::uint64_t size = 0;
        std::uint64_t used = 0;
        if (name.empty() || !text::ParseU64(text::NextField(line), size) || !text::ParseU64(text::NextField(line), used))
            continue;
        SwapArea& area = areas_.Append();
        text::DecodeOctalEscapes(name, area.name);
        area.sizeKib = size;
        area.usedKib = used;
    }
    RaisePeaks();
}

// A remote computer's page gives only the sum of every area, as node_memory_SwapTotal_bytes and
// node_memory_SwapFree_bytes: one area without a name, which is no instance.
namespace {
constexpr std::string_view SwapTotalSeries = "node_memory_SwapTotal_bytes";
constexpr std::string_view SwapFreeSeries = "node_memory_SwapFree_bytes";
constexpr std::array<std::string_view, 2> SwapSeries = {SwapTotalSeries, SwapFreeSeries};
} // namespace

std::span<const std::string_view> SwapSource::Series() const
{
    return SwapSeries;
}

void SwapSource::BeginPage(std::uint64_t)
{
    valid_ = false;
    areas_.Clear();
    totalsOnly_ = true;
    pageHasTotal_ = false;
    pageHasFree_ = false;
}

void SwapSource::TakeSample(const ExpositionPage&, const ExpositionSample& sample)
{
    if (sample.name == SwapTotalSeries)
        pageHasTotal_ = PageCount(sample.value, 1.0 / PageBytesPerKib, pageTotalKib_);
    else
        pageHasFree_ = PageCount(sample.value, 1.0 / PageBytesPerKib, pageFreeKib_);
}

void SwapSource::EndPage()
{
    valid_ = pageHasTotal_ && pageHasFree_;
    if (valid_ && pageTotalKib_ > 0) {
        SwapArea& all = areas_.Append();
        all.name.clear();
        all.sizeKib = pageTotalKib_;
        all.usedKib = pageTotalKib_ >= pageFreeKib_ ? pageTotalKib_ - pageFreeKib_ : 0;
    }
    RaisePeaks();
}

void SwapSource::RaisePeaks()
{
    for (const SwapArea& area : areas_) {
        double percent = 0.0;
        if (Usage(area.usedKib, area.sizeKib, percent))
            RaisePeak(area.name, percent);
    }
    double total = 0.0;
    if (TotalUsage(total))
        totalPeak_ = std::max(totalPeak_, total);
}

const SwapArea* SwapSource::Find(std::string_view name) const
{
    if (totalsOnly_)
        return nullptr;
    for (const SwapArea& area : areas_) {
        if (area.name == name)
            return &area;
    }
    return nullptr;
}

bool SwapSource::Usage(std::uint64_t usedKib, std::uint64_t sizeKib, double& percent)
{
    // More used than there is contradicts itself: no number is better than a wrong one.
    if (sizeKib == 0 || usedKib > sizeKib)
        return false;
    percent = 100.0 * static_cast<double>(usedKib) / static_cast<double>(sizeKib);
    return true;
}

bool SwapSource::TotalUsage(double& percent) const
{
    std::uint64_t used = 0;
    std::uint64_t size = 0;
    for (const SwapArea& area : areas_) {
        if (area.usedKib > area.sizeKib || __builtin_add_overflow(used, area.usedKib, &used) ||
            __builtin_add_overflow(size, area.sizeKib, &size))
            return false;
    }
    return Usage(used, size, percent);
}

bool SwapSource::Peak(std::string_view name, double& percent) const
{
    for (const PeakEntry& peak : peaks_) {
        if (peak.name == name) {
            percent = peak.percent;
            return true;
        }
    }
    return false;
}

bool SwapSource::TotalPeak(double& percent) const
{
    percent = totalPeak_;
    return !areas_.Empty() && totalPeak_ >= 0.0;
}

void SwapSource::RaisePeak(std::string_view name, double percent)
{
    for (PeakEntry& peak : peaks_) {
        if (peak.name == name) {
            peak.percent = std::max(peak.percent, percent);
            return;
        }
    }
    peaks_.push_back(PeakEntry{std::string(name), percent});
}

void SwapSource::List(std::vector<std::string>& names) const
{
    if (!valid_ || totalsOnly_)
        return;
    for (const SwapArea& area : areas_)
        names.push_back(area.name);
}

const ObjectFamily& PagingFileFamily()
{
    static constexpr ObjectFamily family{
        "Paging File",
        "The swap areas (files and partitions), each one and all together (_Total); without swap there are none.",
        PagingFileCounters, true, sources::Swaps, MakePagingFileReader, ListPagingFiles};
    return family;
}

} // namespace quel
