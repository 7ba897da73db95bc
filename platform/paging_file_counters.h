#pragma once
// Paging File (each swap area and _Total), from /proc/swaps. Without swap there are no
// instances and _Total fails: its use cannot be known.

#include "platform/object_family.h"
#include "platform/proc_file.h"
#include "platform/slot_list.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quel {

class NodeExporterFeed;

struct SwapArea {
    std::string name;  // the file or device, escapes decoded
    std::uint64_t sizeKib = 0;
    std::uint64_t usedKib = 0;
};

class SwapSource {
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

private:
    // A remote computer's page fills these sources in place of the kernel files.
    friend class NodeExporterFeed;

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
};

const ObjectFamily& PagingFileFamily();

} // namespace quel
