#pragma once
// Pressure: the kernel's pressure stall information (PSI) of /proc/pressure/cpu, memory and io,
// the time tasks spent waiting for each resource.

#include "platform/object_family.h"
#include "platform/page_feed.h"
#include "platform/proc_file.h"
#include "platform/rate_baseline.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quel {

// The stall totals of one resource, in microseconds since boot.
struct PressureTotals {
    bool present = false;  // its file was read (or its series are on the page)
    bool hasSome = false;
    bool hasFull = false;  // cpu has no "full" line before kernel 5.13
    std::uint64_t someUs = 0;
    std::uint64_t fullUs = 0;
};

class PressureSource final : public PageFeed {
public:
    static constexpr std::array<std::string_view, 3> Resources = {"cpu", "memory", "io"};

    explicit PressureSource(const std::string& procRoot);
    void Refresh();
    // The totals of a resource whose file exists; null otherwise.
    const PressureTotals* Find(std::string_view resource) const;
    void List(std::vector<std::string>& names) const;

    // The node exporter's series of this source (PageFeed).
    std::span<const std::string_view> Series() const override;
    void BeginPage(std::uint64_t collection) override;
    void TakeSample(const ExpositionPage& page, const ExpositionSample& sample) override;
    void EndPage() override;

private:
    std::array<ProcFile, Resources.size()> files_;
    std::array<PressureTotals, Resources.size()> totals_;
};

// The totals of a pressure file's "some" and "full" lines (also each control group's
// cpu.pressure, memory.pressure and io.pressure).
void ParsePressure(std::string_view content, PressureTotals& totals);
// The share of time stalled between two collections, 0..100, from a total in microseconds.
PerfStatus StalledPercent(RateBaseline<1>& baseline, std::uint64_t key, std::uint64_t totalUs, std::int64_t nowNs,
                          double& value);

const ObjectFamily& PressureFamily();

} // namespace quel
