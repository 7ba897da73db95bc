#include "platform/processor_counters.h"

#include "platform/exposition_page.h"
#include "platform/rate_baseline.h"
#include "platform/system_snapshot.h"
#include "platform/text_scan.h"

#include <algorithm>
#include <array>

namespace quel {
namespace {

// CPU numbers beyond this are not believed (untrusted content must not size our tables).
constexpr std::size_t MaxCpus = 65536;

enum class ProcessorCounter { ProcessorTime, UserTime, PrivilegedTime, InterruptTime, IdleTime };

constexpr std::array<CounterSpec, 5> ProcessorCounters = {{
    {"% Processor Time", "%",
     "The share of the processor's time spent on anything but idling or waiting for I/O.",
     "/proc/stat `cpuN` (`cpu` for _Total): 100 x (dT - d(idle + iowait)) / dT, T = user + nice + system + idle + iowait + irq + softirq + steal",
     "node_cpu_seconds_total by cpu and mode (x 100 jiffies), as locally; _Total sums the CPUs"},
    {"% User Time", "%", "The share of the processor's time spent running programs in user mode, niced ones included.",
     "/proc/stat: 100 x d(user + nice) / dT", "node_cpu_seconds_total, modes user and nice"},
    {"% Privileged Time", "%", "The share of the processor's time spent in the kernel, interrupt handling included.",
     "/proc/stat: 100 x d(system + irq + softirq) / dT", "node_cpu_seconds_total, modes system, irq and softirq"},
    {"% Interrupt Time", "%", "The share of the processor's time spent serving hardware interrupts.",
     "/proc/stat: 100 x d(irq) / dT", "node_cpu_seconds_total, mode irq"},
    {"% Idle Time", "%", "The share of the processor's time spent idle or waiting for I/O to complete.",
     "/proc/stat: 100 x d(idle + iowait) / dT", "node_cpu_seconds_total, modes idle and iowait"},
}};

bool ParseCpuTimes(std::string_view fields, CpuTimes& times)
{
    std::array<std::uint64_t, 8> values{};
    std::size_t count = 0;
    for (std::string_view field = text::NextField(fields); !field.empty() && count < values.size();
         field = text::NextField(fields)) {
        if (!text::ParseU64(field, values[count]))
            return false;
        ++count;
    }
    if (count < 4)  // user nice system idle; older kernels lack the later fields
        return false;
    times = CpuTimes{values[0], values[1], values[2], values[3], values[4], values[5], values[6], values[7], true};
    return true;
}

// "" for _Total, else the CPU number; canonical decimal only ("0", "17"; not "007" or "+1").
bool ParseCpuInstance(std::string_view instance, bool& total, std::size_t& number)
{
    total = instance == TotalInstance;
    if (total)
        return true;
    if (instance.empty() || (instance.size() > 1 && instance.front() == '0'))
        return false;
    std::uint64_t value = 0;
    if (!text::ParseU64(instance, value) || value >= MaxCpus)
        return false;
    number = static_cast<std::size_t>(value);
    return true;
}

class ProcessorReader final : public CounterReader {
public:
    ProcessorReader(ProcessorCounter counter, std::string_view instance) : counter_(counter)
    {
        validInstance_ = ParseCpuInstance(instance, total_, number_);
    }

    SourceMask Sources() const override { return sources::Stat; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        const StatSource& stat = snapshot.Stat();
        if (!stat.Valid())
            return perf_status::Unreadable;
        const CpuTimes* times = validInstance_ ? (total_ ? stat.Total() : stat.Cpu(number_)) : nullptr;
        if (times == nullptr) {
            baseline_.Forget();
            return perf_status::NoInstance;
        }
        // Raw pair: the counted part and the CPU's total jiffies. Rates divide by the total, not
        // by wall time, so they stay right however late a collection comes.
        const RateBaseline<2>::Raw raw = {Part(*times), times->Total()};
        RateBaseline<2>::Raw delta{};
        if (baseline_.Compare(0, raw, delta) != RateStep::Ready) {
            baseline_.Store(0, raw, snapshot.NowNs());
            return perf_status::NoData;
        }
        if (delta[1] == 0)  // no jiffy has passed: keep the baseline
            return perf_status::NoData;
        baseline_.Store(0, raw, snapshot.NowNs());
        double percent = 100.0 * static_cast<double>(delta[0]) / static_cast<double>(delta[1]);
        if (counter_ == ProcessorCounter::ProcessorTime)
            percent = 100.0 - percent;
        value = std::clamp(percent, 0.0, 100.0);
        return perf_status::Ok;
    }

private:
    std::uint64_t Part(const CpuTimes& t) const
    {
        switch (counter_) {
        case ProcessorCounter::ProcessorTime:  // busy = total - idle
        case ProcessorCounter::IdleTime:
            return t.idle + t.iowait;
        case ProcessorCounter::UserTime:
            return t.user + t.nice;
        case ProcessorCounter::PrivilegedTime:
            return t.system + t.irq + t.softirq;
        case ProcessorCounter::InterruptTime:
            return t.irq;
        }
        return 0;
    }

    ProcessorCounter counter_;
    bool validInstance_ = false;
    bool total_ = false;
    std::size_t number_ = 0;
    RateBaseline<2> baseline_;
};

std::unique_ptr<CounterReader> MakeProcessorReader(std::size_t counter, std::string_view instance)
{
    return std::make_unique<ProcessorReader>(static_cast<ProcessorCounter>(counter), instance);
}

void ListProcessors(SystemSnapshot& snapshot, std::vector<std::string>& instances)
{
    const StatSource& stat = snapshot.Stat();
    if (!stat.Valid())
        return;
    stat.ListCpus(instances);
    instances.emplace_back(TotalInstance);
}

} // namespace

StatSource::StatSource(const std::string& procRoot) : file_(procRoot + "/stat") {}

bool StatSource::Refresh()
{
    std::string_view content;
    valid_ = file_.Read(content) && Parse(content);
    return valid_;
}

bool StatSource::Parse(std::string_view content)
{
    total_.present = false;
    for (CpuTimes& cpu : cpus_)
        cpu.present = false;
    onlineCpus_ = 0;
    hasContextSwitches_ = false;
    hasProcsRunning_ = false;

    std::string_view line;
    while (text::NextLine(content, line)) {
        std::string_view rest = line;
        const std::string_view key = text::NextField(rest);
        if (key == "cpu") {
            ParseCpuTimes(rest, total_);
        } else if (key.starts_with("cpu")) {
            std::uint64_t number = 0;
            if (!text::ParseU64(key.substr(3), number) || number >= MaxCpus)
                continue;
            if (number >= cpus_.size())
                cpus_.resize(number + 1);
            CpuTimes& cpu = cpus_[number];
            if (!cpu.present && ParseCpuTimes(rest, cpu))
                ++onlineCpus_;
        } else if (key == "ctxt") {
            hasContextSwitches_ = text::ParseU64(text::NextField(rest), contextSwitches_);
        } else if (key == "procs_running") {
            hasProcsRunning_ = text::ParseU64(text::NextField(rest), procsRunning_);
        }
    }
    return total_.present;
}

const CpuTimes* StatSource::Cpu(std::size_t number) const
{
    return number < cpus_.size() && cpus_[number].present ? &cpus_[number] : nullptr;
}

bool StatSource::ContextSwitches(std::uint64_t& value) const
{
    value = contextSwitches_;
    return valid_ && hasContextSwitches_;
}

bool StatSource::ProcsRunning(std::uint64_t& value) const
{
    value = procsRunning_;
    return valid_ && hasProcsRunning_;
}

void StatSource::ListCpus(std::vector<std::string>& names) const
{
    for (std::size_t i = 0; i < cpus_.size(); ++i) {
        if (cpus_[i].present)
            names.push_back(std::to_string(i));
    }
}

// --- a node exporter page ----------------------------------------------------------------------

namespace {
constexpr std::array<std::string_view, 3> StatSeries = {"node_cpu_seconds_total", "node_context_switches_total",
                                                        "node_procs_running"};

std::uint64_t CpuTimes::*CpuMode(std::string_view mode)
{
    return mode == "user"  ? &CpuTimes::user
        : mode == "nice"    ? &CpuTimes::nice
        : mode == "system"  ? &CpuTimes::system
        : mode == "idle"    ? &CpuTimes::idle
        : mode == "iowait"  ? &CpuTimes::iowait
        : mode == "irq"     ? &CpuTimes::irq
        : mode == "softirq" ? &CpuTimes::softirq
        : mode == "steal"   ? &CpuTimes::steal
                            : nullptr;
}
} // namespace

std::span<const std::string_view> StatSource::Series() const
{
    return StatSeries;
}

void StatSource::BeginPage(std::uint64_t)
{
    valid_ = false;
    total_ = CpuTimes{};
    for (CpuTimes& cpu : cpus_)
        cpu = CpuTimes{};
    onlineCpus_ = 0;
    hasContextSwitches_ = false;
    hasProcsRunning_ = false;
}

void StatSource::TakeSample(const ExpositionPage& page, const ExpositionSample& sample)
{
    if (sample.name == "node_context_switches_total") {
        hasContextSwitches_ = PageCount(sample.value, 1.0, contextSwitches_);
        return;
    }
    if (sample.name == "node_procs_running") {
        hasProcsRunning_ = PageCount(sample.value, 1.0, procsRunning_);
        return;
    }
    std::uint64_t number = 0;
    std::uint64_t count = 0;
    std::uint64_t CpuTimes::*field = CpuMode(page.Label(sample, "mode"));
    if (field == nullptr || !text::ParseU64(page.Label(sample, "cpu"), number) || number >= MaxCpus
        || !PageCount(sample.value, PageJiffiesPerSecond, count))
        return;
    if (number >= cpus_.size())
        cpus_.resize(number + 1);
    cpus_[number].*field = count;
    cpus_[number].present = true;
}

void StatSource::EndPage()
{
    for (const CpuTimes& cpu : cpus_) {
        if (!cpu.present)
            continue;
        ++onlineCpus_;
        total_.user += cpu.user;
        total_.nice += cpu.nice;
        total_.system += cpu.system;
        total_.idle += cpu.idle;
        total_.iowait += cpu.iowait;
        total_.irq += cpu.irq;
        total_.softirq += cpu.softirq;
        total_.steal += cpu.steal;
        total_.present = true;
    }
    valid_ = total_.present || hasContextSwitches_ || hasProcsRunning_;
}

const ObjectFamily& ProcessorFamily()
{
    static constexpr ObjectFamily family{
        "Processor",
        "The processors (logical CPUs) of the computer, each one and all together (_Total).",
        ProcessorCounters, true, sources::Stat, MakeProcessorReader, ListProcessors};
    return family;
}

} // namespace quel
