#include "platform/processor_counters.h"

#include "platform/exposition_page.h"
#include "platform/rate_baseline.h"
#include "platform/system_snapshot.h"
#include "platform/text_scan.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

namespace quel {
namespace {

// CPU numbers beyond this are not believed (untrusted content must not size our tables).
constexpr std::size_t MaxCpus = 65536;

enum class ProcessorCounter {
    ProcessorTime, UserTime, PrivilegedTime, InterruptTime, IdleTime,
    DpcTime, IoWaitTime, StealTime, GuestTime, InterruptsPerSec,
};

constexpr std::array<CounterInfo, 10> ProcessorCounters = {{
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
    {"% DPC Time", "%", "The share of the processor's time spent on deferred interrupt work (softirqs).",
     "/proc/stat: 100 x d(softirq) / dT", "node_cpu_seconds_total, mode softirq"},
    {"% I/O Wait Time", "%", "The share of the processor's time spent idle while I/O it started was outstanding.",
     "/proc/stat: 100 x d(iowait) / dT", "node_cpu_seconds_total, mode iowait"},
    {"% Steal Time", "%",
     "The share of a virtual processor's time during which the hypervisor ran something else instead.",
     "/proc/stat: 100 x d(steal) / dT", "node_cpu_seconds_total, mode steal"},
    {"% Guest Time", "%",
     "The share of the processor's time spent running virtual machines' processors; it is part of the user time.",
     "/proc/stat: 100 x d(guest + guest_nice) / dT (both already inside user and nice, so not in T again)",
     "node_cpu_guest_seconds_total, modes user and nice"},
    {"Interrupts/sec", "per second", "The hardware interrupts the processor received per second.",
     "_Total: /proc/stat, d(first number of the `intr` line) / dt; each CPU: /proc/interrupts, d(sum of the CPU's column over the rows with one per CPU) / dt",
     "_Total: node_intr_total; each CPU: the sum of node_interrupts_total by cpu (the interrupts collector, off by default)"},
}};

// The fields every "cpu" line has, even on the oldest kernels.
constexpr std::uint32_t BaseFields = cpu_field::User | cpu_field::Nice | cpu_field::System | cpu_field::Idle;

bool ParseCpuTimes(std::string_view fields, CpuTimes& times)
{
    std::array<std::uint64_t, 10> values{};
    std::size_t count = 0;
    for (std::string_view field = text::NextField(fields); !field.empty() && count < values.size();
         field = text::NextField(fields)) {
        if (!text::ParseU64(field, values[count]))
            return false;
        ++count;
    }
    if (count < 4)  // user nice system idle; older kernels lack the later fields
        return false;
    times = CpuTimes{values[0], values[1], values[2], values[3], values[4], values[5], values[6], values[7],
                     values[8], values[9], (1U << count) - 1, true};
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
        if (!times->Knows(BaseFields | Needs())) {  // an older kernel's shorter line
            baseline_.Forget();
            return perf_status::Unreadable;
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
        case ProcessorCounter::DpcTime:
            return t.softirq;
        case ProcessorCounter::IoWaitTime:
            return t.iowait;
        case ProcessorCounter::StealTime:
            return t.steal;
        case ProcessorCounter::GuestTime:
            return t.guest + t.guestNice;
        case ProcessorCounter::InterruptsPerSec:
            break;
        }
        return 0;
    }

    // The fields beyond the first four that the counter cannot do without.
    std::uint32_t Needs() const
    {
        switch (counter_) {
        case ProcessorCounter::DpcTime:
            return cpu_field::SoftIrq;
        case ProcessorCounter::IoWaitTime:
            return cpu_field::IoWait;
        case ProcessorCounter::StealTime:
            return cpu_field::Steal;
        case ProcessorCounter::GuestTime:
            return cpu_field::Guest | cpu_field::GuestNice;
        default:
            return 0;
        }
    }

    ProcessorCounter counter_;
    bool validInstance_ = false;
    bool total_ = false;
    std::size_t number_ = 0;
    RateBaseline<2> baseline_;
};

// Interrupts/sec: _Total from the `intr` line of /proc/stat, which is read anyway; a CPU from
// /proc/interrupts, which only queries holding such a counter pay for.
class InterruptRateReader final : public CounterReader {
public:
    explicit InterruptRateReader(std::string_view instance)
    {
        validInstance_ = ParseCpuInstance(instance, total_, number_);
    }

    SourceMask Sources() const override { return total_ ? sources::Stat : sources::Interrupts; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        std::uint64_t count = 0;
        const PerfStatus known = Count(snapshot.Stat(), count);
        if (known != perf_status::Ok) {
            baseline_.Forget();
            return known;
        }
        return CountPerSecond(baseline_, count, snapshot.NowNs(), value);
    }

private:
    PerfStatus Count(const StatSource& stat, std::uint64_t& count) const
    {
        if (!validInstance_)
            return perf_status::NoInstance;
        if (total_)
            return stat.Line(StatLine::Interrupts, count) ? perf_status::Ok : perf_status::Unreadable;
        if (!stat.InterruptsValid())
            return perf_status::Unreadable;
        return stat.CpuInterrupts(number_, count) ? perf_status::Ok : perf_status::NoInstance;
    }

    bool validInstance_ = false;
    bool total_ = false;
    std::size_t number_ = 0;
    RateBaseline<1> baseline_;
};

std::unique_ptr<CounterReader> MakeProcessorReader(std::size_t counter, std::string_view instance)
{
    const auto which = static_cast<ProcessorCounter>(counter);
    if (which == ProcessorCounter::InterruptsPerSec)
        return std::make_unique<InterruptRateReader>(instance);
    return std::make_unique<ProcessorReader>(which, instance);
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

namespace {
// A one-number line of /proc/stat and the node exporter series that gives the same number.
struct StatLineField {
    std::string_view key;
    std::string_view series;
};
constexpr std::array<StatLineField, StatLineCount> StatLineFields = {{
    {"ctxt", "node_context_switches_total"},
    {"intr", "node_intr_total"},  // its first number is the total
    {"processes", "node_forks_total"},
    {"procs_running", "node_procs_running"},
    {"procs_blocked", "node_procs_blocked"},
}};

template <typename Member>
std::optional<std::size_t> FindStatLine(Member member, std::string_view name)
{
    for (std::size_t i = 0; i < StatLineFields.size(); ++i) {
        if (StatLineFields[i].*member == name)
            return i;
    }
    return std::nullopt;
}
} // namespace

StatSource::StatSource(const std::string& procRoot)
    : file_(procRoot + "/stat"), interruptsFile_(procRoot + "/interrupts")
{
}

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
    hasLine_.fill(false);

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
        } else if (const auto index = FindStatLine(&StatLineField::key, key)) {
            hasLine_[*index] = text::ParseU64(text::NextField(rest), lines_[*index]);
        }
    }
    return total_.present;
}

void StatSource::RefreshInterrupts()
{
    std::string_view content;
    ClearInterrupts();
    interruptsValid_ = interruptsFile_.Read(content) && ParseInterrupts(content);
    if (!interruptsValid_)
        ClearInterrupts();
}

// "           CPU0       CPU1\n  24:   1   0  IO-APIC ...\nERR:   0\n": the header names the
// online CPUs' columns; each row gives one count per column, then its description. Rows with a
// single count for the machine (ERR, MIS) belong to no CPU.
bool StatSource::ParseInterrupts(std::string_view content)
{
    std::string_view header;
    if (!text::NextLine(content, header))
        return false;
    interruptColumns_.clear();
    for (std::string_view field = text::NextField(header); !field.empty(); field = text::NextField(header)) {
        std::uint64_t number = 0;
        if (!field.starts_with("CPU") || !text::ParseU64(field.substr(3), number) || number >= MaxCpus)
            return false;
        if (number >= interrupts_.size())
            interrupts_.resize(number + 1);
        if (interrupts_[number].present)  // listed twice: no kernel's file
            return false;
        interrupts_[number].present = true;
        interruptColumns_.push_back(static_cast<std::size_t>(number));
    }
    if (interruptColumns_.empty())
        return false;
    std::string_view line;
    while (text::NextLine(content, line)) {
        std::string_view rest = line;
        text::NextField(rest);  // "24:" or "LOC:"
        std::string_view counts = rest;
        std::size_t columns = 0;
        std::uint64_t count = 0;
        while (columns < interruptColumns_.size() && text::ParseU64(text::NextField(counts), count))
            ++columns;
        if (columns < interruptColumns_.size())
            continue;
        for (const std::size_t number : interruptColumns_) {
            text::ParseU64(text::NextField(rest), count);
            AddInterrupts(number, count);
        }
    }
    return true;
}

void StatSource::ClearInterrupts()
{
    for (CpuInterruptCount& cpu : interrupts_)
        cpu = CpuInterruptCount{};
}

void StatSource::AddInterrupts(std::size_t number, std::uint64_t count)
{
    CpuInterruptCount& cpu = interrupts_[number];
    cpu.present = true;
    cpu.overflowed = cpu.overflowed || __builtin_add_overflow(cpu.count, count, &cpu.count);
}

bool StatSource::CpuInterrupts(std::size_t number, std::uint64_t& count) const
{
    if (!interruptsValid_ || number >= interrupts_.size() || !interrupts_[number].present
        || interrupts_[number].overflowed)
        return false;
    count = interrupts_[number].count;
    return true;
}

const CpuTimes* StatSource::Cpu(std::size_t number) const
{
    return number < cpus_.size() && cpus_[number].present ? &cpus_[number] : nullptr;
}

bool StatSource::Line(StatLine line, std::uint64_t& value) const
{
    const auto index = static_cast<std::size_t>(line);
    value = lines_[index];
    return valid_ && hasLine_[index];
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
constexpr std::string_view CpuSeconds = "node_cpu_seconds_total";
constexpr std::string_view CpuGuestSeconds = "node_cpu_guest_seconds_total";
constexpr std::string_view CpuInterruptSeries = "node_interrupts_total";
constexpr std::array<std::string_view, 8> StatSeries = {
    CpuSeconds, CpuGuestSeconds, "node_context_switches_total", "node_intr_total", "node_forks_total",
    "node_procs_running", "node_procs_blocked", CpuInterruptSeries};

struct CpuModeField {
    std::uint64_t CpuTimes::*value;
    std::uint32_t bit;
};

std::optional<CpuModeField> CpuMode(std::string_view mode)
{
    static constexpr std::array<std::pair<std::string_view, CpuModeField>, 8> modes = {{
        {"user", {&CpuTimes::user, cpu_field::User}},
        {"nice", {&CpuTimes::nice, cpu_field::Nice}},
        {"system", {&CpuTimes::system, cpu_field::System}},
        {"idle", {&CpuTimes::idle, cpu_field::Idle}},
        {"iowait", {&CpuTimes::iowait, cpu_field::IoWait}},
        {"irq", {&CpuTimes::irq, cpu_field::Irq}},
        {"softirq", {&CpuTimes::softirq, cpu_field::SoftIrq}},
        {"steal", {&CpuTimes::steal, cpu_field::Steal}},
    }};
    for (const auto& [name, field] : modes) {
        if (name == mode)
            return field;
    }
    return std::nullopt;
}

// node_cpu_guest_seconds_total: mode "user" is guest, "nice" is guest_nice.
std::optional<CpuModeField> GuestMode(std::string_view mode)
{
    if (mode == "user")
        return CpuModeField{&CpuTimes::guest, cpu_field::Guest};
    if (mode == "nice")
        return CpuModeField{&CpuTimes::guestNice, cpu_field::GuestNice};
    return std::nullopt;
}

bool PageCpuNumber(const ExpositionPage& page, const ExpositionSample& sample, std::size_t& number)
{
    std::uint64_t value = 0;
    if (!text::ParseU64(page.Label(sample, "cpu"), value) || value >= MaxCpus)
        return false;
    number = static_cast<std::size_t>(value);
    return true;
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
    hasLine_.fill(false);
    ClearInterrupts();
    interruptsValid_ = false;
}

void StatSource::TakeSample(const ExpositionPage& page, const ExpositionSample& sample)
{
    if (const auto index = FindStatLine(&StatLineField::series, sample.name)) {
        hasLine_[*index] = PageCount(sample.value, 1.0, lines_[*index]);
        return;
    }
    std::size_t number = 0;
    std::uint64_t count = 0;
    if (sample.name == CpuInterruptSeries) {
        // The collector numbers CPUs by column, which matches /proc/interrupts while every CPU
        // is online.
        if (!PageCpuNumber(page, sample, number) || !PageCount(sample.value, 1.0, count))
            return;
        if (number >= interrupts_.size())
            interrupts_.resize(number + 1);
        AddInterrupts(number, count);
        interruptsValid_ = true;
        return;
    }
    const std::string_view mode = page.Label(sample, "mode");
    const std::optional<CpuModeField> field = sample.name == CpuGuestSeconds ? GuestMode(mode) : CpuMode(mode);
    if (!field || !PageCpuNumber(page, sample, number) || !PageCount(sample.value, PageJiffiesPerSecond, count))
        return;
    if (number >= cpus_.size())
        cpus_.resize(number + 1);
    CpuTimes& cpu = cpus_[number];
    cpu.*(field->value) = count;
    cpu.known |= field->bit;
    cpu.present = true;
}

void StatSource::EndPage()
{
    total_.known = ~std::uint32_t{0};
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
        total_.guest += cpu.guest;
        total_.guestNice += cpu.guestNice;
        total_.known &= cpu.known;  // _Total knows a field when every CPU gave it
        total_.present = true;
    }
    if (!total_.present)
        total_.known = 0;
    bool anyLine = false;
    for (const bool has : hasLine_)
        anyLine = anyLine || has;
    valid_ = total_.present || anyLine;
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
