#pragma once
// Paging File (each swap area and _Total), from /proc/swaps. Without swap there are no
// instances and _Total fails: its use cannot be known.

#include "platform/object_family.h"
#include "platform/page_feed.h"
#include "platform/proc_file.h"
#include "platform/slot_list.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quel {

struct SwapArea {
    std::string name;  // the file or device, escapes decoded
    std::uint64_t sizeKib = 0;
    std::uint64_t usedKib = 0;
};

class SwapSource final : public PageFeed {
public:
    explicit SwapSource(const std::string& procRoot);
    // Reads /proc/swaps and raises the peaks this provider has seen.
    void Refresh();
    bool Valid() const { return valid_; }

    const SwapArea* Find(std::string_view name) const;
    // Percent used of one area or of all together; false when it cannot be known.
    static bool Usage(std::uint64_t usedKib, std::uint64_t sizeKib, double& percent);
    bool TotalUsage(double& percent) const;
    // The highest usage seen since the provider started; false when never known.
    bool Peak(std::string_view name, double& percent) const;
    bool TotalPeak(double& percent) const;
    void List(std::vector<std::string>& names) const;
    bool HasSwap() const { return valid_ && !areas_.Empty(); }

    // The node exporter's series of this source (PageFeed).
    std::span<const std::string_view> Series() const override;
    void BeginPage(std::uint64_t collection) override;
    void TakeSample(const ExpositionPage& page, const ExpositionSample& sample) override;
    void EndPage() override;

private:
    struct PeakEntry {
        std::string name;
        double percent = 0.0;
    };
    void RaisePeak(std::string_view name, double percent);
    void RaisePeaks();

    ProcFile file_;
    bool valid_ = false;
    SlotList<SwapArea> areas_;
    std::vector<PeakEntry> peaks_;
    double totalPeak_ = -1.0;
    // Only the sum of every area is known (a remote computer): no area is an instance.
    bool totalsOnly_ = false;
    // What a page gave: SwapTotal and SwapFree in KiB.
    std::uint64_t pageTotalKib_ = 0;
    std::uint64_t pageFreeKib_ = 0;
    bool pageHasTotal_ = false;
    bool pageHasFree_ = false;
};

const ObjectFamily& PagingFileFamily();

} // namespace quel
