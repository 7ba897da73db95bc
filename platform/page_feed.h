#pragma once
// PageFeed: how a source reads a remote computer's node exporter page in place of this
// machine's files. Each source knows the series it needs and maps them onto the very values its
// files give, so the readers (and formulas) of this machine compute a remote computer's
// counters too. The dispatcher (NodeExporterFeed) offers each source the samples of its series.

#include <cstdint>
#include <span>
#include <string_view>

namespace quel {

class ExpositionPage;
struct ExpositionSample;

class PageFeed {
public:
    // The metric names (or name prefixes ending in "_") whose samples this source takes.
    virtual std::span<const std::string_view> Series() const = 0;
    // Forgets every value: what the page does not give stays unknown, and its reads fail.
    // collection counts the snapshot's collections, fed or read.
    virtual void BeginPage(std::uint64_t collection) = 0;
    virtual void TakeSample(const ExpositionPage& page, const ExpositionSample& sample) = 0;
    // Derives totals and validity once every sample has been offered.
    virtual void EndPage() = 0;

protected:
    ~PageFeed() = default;
};

// Whether a metric name is one of series: equal to a name, or starting with a prefix that ends
// in "_".
bool IsFedSeries(std::string_view name, std::span<const std::string_view> series);

// A count that a page gives as a float, times scale; false for what no kernel counter can hold
// (negative, not finite, beyond 64 bits).
bool PageCount(double value, double scale, std::uint64_t& count);

// The node exporter reports jiffies divided by USER_HZ, which is 100 on every Linux ABI.
inline constexpr double PageJiffiesPerSecond = 100.0;
inline constexpr double PageBytesPerKib = 1024.0;

} // namespace quel
