#include "platform/pressure_counters.h"

#include "platform/exposition_page.h"
#include "platform/rate_baseline.h"
#include "platform/system_snapshot.h"
#include "platform/text_scan.h"

#include <algorithm>

namespace quel {
namespace {

enum class PressureCounter { Some, Full };

constexpr std::array<CounterInfo, 2> PressureCounters = {{
    {"% Some Stalled", "%",
     "The share of time in which at least one task was stalled: ready to work, but waiting for the processor, "
     "for memory (reclaim, swap-in) or for I/O to complete.",
     "/proc/pressure/RESOURCE, `some` line: 100 x d(total, microseconds) / d(elapsed microseconds)",
     "node_pressure_cpu_waiting_seconds_total, node_pressure_memory_waiting_seconds_total, "
     "node_pressure_io_waiting_seconds_total (x 1,000,000 microseconds), as locally"},
    {"% Full Stalled", "%",
     "The share of time in which every task that had work to do was stalled waiting for the resource at once, "
     "so none made progress. Always 0 for cpu on the whole machine; kernels before 5.13 give cpu no value.",
     "/proc/pressure/RESOURCE, `full` line: 100 x d(total, microseconds) / d(elapsed microseconds); "
     "no `full` line (cpu before kernel 5.13): no value",
     "node_pressure_memory_stalled_seconds_total, node_pressure_io_stalled_seconds_total (x 1,000,000 "
     "microseconds), as locally; cpu only from node exporters that serve node_pressure_cpu_stalled_seconds_total "
     "(newer than 1.5), else its read fails"},
}};

constexpr double MicrosecondsPerSecond = 1e6;

} // namespace

// "some avg10=0.00 avg60=0.00 avg300=0.00 total=12345" and the same for "full": the totals,
// found by key rather than position.
void ParsePressure(std::string_view content, PressureTotals& totals)
{
    std::string_view line;
    while (text::NextLine(content, line)) {
        const std::string_view kind = text::NextField(line);
        const bool some = kind == "some";
        if (!some && kind != "full")
            continue;
        for (std::string_view field = text::NextField(line); !field.empty(); field = text::NextField(line)) {
            if (!field.starts_with("total="))
                continue;
            const std::string_view number = field.substr(field.find('=') + 1);
            if (some)
                totals.hasSome = text::ParseU64(number, totals.someUs);
            else
                totals.hasFull = text::ParseU64(number, totals.fullUs);
        }
    }
}

PerfStatus StalledPercent(RateBaseline<1>& baseline, std::uint64_t key, std::uint64_t totalUs, std::int64_t nowNs,
                          double& value)
{
    RateBaseline<1>::Raw delta{};
    double seconds = 0.0;
    const PerfStatus status = AdvanceRate(baseline, key, {totalUs}, nowNs, delta, seconds);
    // A resource cannot stall longer than the time that passed: an excess is the moment
    // between taking the time and reading the file.
    if (status == perf_status::Ok)
        value = std::min(100.0, 100.0 * static_cast<double>(delta[0]) / (seconds * MicrosecondsPerSecond));
    return status;
}

namespace {

class PressureReader final : public CounterReader {
public:
    PressureReader(PressureCounter counter, std::string_view instance) : counter_(counter), instance_(instance) {}

    SourceMask Sources() const override { return sources::Pressure; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        const PressureTotals* totals = snapshot.Pressure().Find(instance_);
        if (totals == nullptr) {
            baseline_.Forget();
            return perf_status::NoInstance;
        }
        const bool full = counter_ == PressureCounter::Full;
        if (!(full ? totals->hasFull : totals->hasSome)) {
            baseline_.Forget();
            return perf_status::Unreadable;
        }
        return StalledPercent(baseline_, 0, full ? totals->fullUs : totals->someUs, snapshot.NowNs(), value);
    }

private:
    PressureCounter counter_;
    std::string instance_;
    RateBaseline<1> baseline_;
};

std::unique_ptr<CounterReader> MakePressureReader(std::size_t counter, std::string_view instance)
{
    return std::make_unique<PressureReader>(static_cast<PressureCounter>(counter), instance);
}

void ListPressures(SystemSnapshot& snapshot, std::vector<std::string>& instances)
{
    snapshot.Pressure().List(instances);
}

} // namespace

PressureSource::PressureSource(const std::string& procRoot)
{
    for (std::size_t i = 0; i < Resources.size(); ++i)
        files_[i].SetPath(procRoot + "/pressure/" + std::string(Resources[i]));
}

void PressureSource::Refresh()
{
    for (std::size_t i = 0; i < Resources.size(); ++i) {
        totals_[i] = PressureTotals{};
        std::string_view content;
        totals_[i].present = files_[i].Read(content);
        if (totals_[i].present)
            ParsePressure(content, totals_[i]);
    }
}

const PressureTotals* PressureSource::Find(std::string_view resource) const
{
    for (std::size_t i = 0; i < Resources.size(); ++i) {
        if (Resources[i] == resource)
            return totals_[i].present ? &totals_[i] : nullptr;
    }
    return nullptr;
}

void PressureSource::List(std::vector<std::string>& names) const
{
    for (std::size_t i = 0; i < Resources.size(); ++i) {
        if (totals_[i].present)
            names.emplace_back(Resources[i]);
    }
}

// --- a node exporter page ----------------------------------------------------------------------

namespace {
// The series of each resource's "some" and "full" totals, in seconds, in the order of Resources.
// Node exporter 1.5 serves no cpu "full" series.
constexpr std::array<std::string_view, 6> PressureSeries = {
    "node_pressure_cpu_waiting_seconds_total",    "node_pressure_cpu_stalled_seconds_total",
    "node_pressure_memory_waiting_seconds_total", "node_pressure_memory_stalled_seconds_total",
    "node_pressure_io_waiting_seconds_total",     "node_pressure_io_stalled_seconds_total",
};
} // namespace

std::span<const std::string_view> PressureSource::Series() const
{
    return PressureSeries;
}

void PressureSource::BeginPage(std::uint64_t)
{
    totals_.fill(PressureTotals{});
}

void PressureSource::TakeSample(const ExpositionPage&, const ExpositionSample& sample)
{
    const auto series = std::find(PressureSeries.begin(), PressureSeries.end(), sample.name);
    if (series == PressureSeries.end())
        return;
    const auto index = static_cast<std::size_t>(series - PressureSeries.begin());
    PressureTotals& totals = totals_[index / 2];
    totals.present = true;
    if (index % 2 == 0)
        totals.hasSome = PageCount(sample.value, MicrosecondsPerSecond, totals.someUs);
    else
        totals.hasFull = PageCount(sample.value, MicrosecondsPerSecond, totals.fullUs);
}

void PressureSource::EndPage() {}

const ObjectFamily& PressureFamily()
{
    static constexpr ObjectFamily family{
        "Pressure",
        "The kernel's pressure stall information (PSI): how much of the time tasks were held up waiting for the "
        "processor (cpu), memory or I/O (io), rather than running. It needs kernel 4.20 or later with PSI on; "
        "it may be off (psi=0 on the kernel command line), and then the object has no instances.",
        PressureCounters, true, sources::Pressure, MakePressureReader, ListPressures};
    return family;
}

} // namespace quel
