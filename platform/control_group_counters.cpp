#include "platform/control_group_counters.h"

#include "platform/control_group_files.h"
#include "platform/pressure_counters.h"
#include "platform/rate_baseline.h"
#include "platform/system_snapshot.h"

#include <array>

namespace quel {
namespace {

constexpr std::array<CounterInfo, 13> ControlGroupCounters = {{
    {"% Processor Time", "%",
     "The processor time the group's tasks used, as a percentage of one processor: a group busy on two processors "
     "shows 200.",
     "cpu.stat: 100 x d(usage_usec) / d(elapsed microseconds)", ""},
    {"% User Time", "%", "The processor time the group's tasks spent in user mode, as a percentage of one processor.",
     "cpu.stat: 100 x d(user_usec) / d(elapsed microseconds)", ""},
    {"% Privileged Time", "%",
     "The processor time the group's tasks spent in the kernel, as a percentage of one processor.",
     "cpu.stat: 100 x d(system_usec) / d(elapsed microseconds)", ""},
    {"Memory Bytes", "bytes", "The memory the group uses now, page cache and kernel memory included.",
     "memory.current (no value for the root on most kernels)", ""},
    {"Memory Limit", "bytes", "The hard memory limit of the group, beyond which its tasks are reclaimed or killed.",
     "memory.max; \"max\" (no limit): no value", ""},
    {"% Memory Limit In Use", "%", "The memory the group uses as a percentage of its hard memory limit.",
     "100 x memory.current / memory.max; no limit (\"max\") or a limit of 0: no value", ""},
    {"Swap Bytes", "bytes", "The swap space the group's memory takes.", "memory.swap.current", ""},
    {"IO Read Bytes/sec", "bytes per second", "The bytes the group's tasks read from block devices per second.",
     "io.stat: d(rbytes summed over the devices) / dt", ""},
    {"IO Write Bytes/sec", "bytes per second", "The bytes the group's tasks wrote to block devices per second.",
     "io.stat: d(wbytes summed over the devices) / dt", ""},
    {"Processes", "tasks", "The tasks (processes and threads) in the group and its descendants.", "pids.current", ""},
    {"% CPU Stalled", "%",
     "The share of time in which at least one of the group's tasks was ready to run but waiting for a processor.",
     "cpu.pressure, `some` line: 100 x d(total, microseconds) / d(elapsed microseconds)", ""},
    {"% Memory Stalled", "%",
     "The share of time in which at least one of the group's tasks was waiting for memory (reclaim, swap-in).",
     "memory.pressure, `some` line: 100 x d(total, microseconds) / d(elapsed microseconds)", ""},
    {"% IO Stalled", "%", "The share of time in which at least one of the group's tasks was waiting for I/O.",
     "io.pressure, `some` line: 100 x d(total, microseconds) / d(elapsed microseconds)", ""},
}};

// How a counter turns the number its file gives into its value.
enum class Formula {
    CpuPercent,    // 100 x d(microseconds) / d(elapsed microseconds)
    PerSecond,     // d(count) / dt
    StallPercent,  // as the Pressure object
    Value,         // the number as it is
    LimitInUse,    // 100 x memory.current / memory.max
};

struct GroupCounter {
    GroupFile file;
    Formula formula;
    bool (*extract)(std::string_view content, std::uint64_t& value);
};

bool UsageUs(std::string_view content, std::uint64_t& value)
{
    return ParseKeyedValue(content, "usage_usec", value);
}
bool UserUs(std::string_view content, std::uint64_t& value)
{
    return ParseKeyedValue(content, "user_usec", value);
}
bool SystemUs(std::string_view content, std::uint64_t& value)
{
    return ParseKeyedValue(content, "system_usec", value);
}
bool ReadBytes(std::string_view content, std::uint64_t& value)
{
    return ParseIoStatSum(content, "rbytes", value);
}
bool WrittenBytes(std::string_view content, std::uint64_t& value)
{
    return ParseIoStatSum(content, "wbytes", value);
}
bool StalledUs(std::string_view content, std::uint64_t& value)
{
    PressureTotals totals;
    ParsePressure(content, totals);
    value = totals.someUs;
    return totals.hasSome;
}

constexpr std::array<GroupCounter, ControlGroupCounters.size()> GroupCounters = {{
    {GroupFile::CpuStat, Formula::CpuPercent, UsageUs},
    {GroupFile::CpuStat, Formula::CpuPercent, UserUs},
    {GroupFile::CpuStat, Formula::CpuPercent, SystemUs},
    {GroupFile::MemoryCurrent, Formula::Value, ParseSingleValue},
    {GroupFile::MemoryMax, Formula::Value, ParseSingleValue},
    {GroupFile::MemoryCurrent, Formula::LimitInUse, ParseSingleValue},
    {GroupFile::MemorySwapCurrent, Formula::Value, ParseSingleValue},
    {GroupFile::IoStat, Formula::PerSecond, ReadBytes},
    {GroupFile::IoStat, Formula::PerSecond, WrittenBytes},
    {GroupFile::PidsCurrent, Formula::Value, ParseSingleValue},
    {GroupFile::CpuPressure, Formula::StallPercent, StalledUs},
    {GroupFile::MemoryPressure, Formula::StallPercent, StalledUs},
    {GroupFile::IoPressure, Formula::StallPercent, StalledUs},
}};

constexpr double MicrosecondsPerSecond = 1e6;

bool ReadNumber(ControlGroup& group, GroupFile file, bool (*extract)(std::string_view, std::uint64_t&),
                std::uint64_t& value)
{
    std::string_view content;
    return group.Read(file, content) && extract(content, value);
}

class ControlGroupReader final : public CounterReader {
public:
    ControlGroupReader(const GroupCounter& counter, std::string_view instance) : counter_(counter), instance_(instance)
    {
    }

    SourceMask Sources() const override { return sources::ControlGroups; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        ControlGroup* group = snapshot.ControlGroups().Find(instance_);
        if (group == nullptr) {
            baseline_.Forget();
            return perf_status::NoInstance;
        }
        std::uint64_t number = 0;
        if (!ReadNumber(*group, counter_.file, counter_.extract, number)) {
            baseline_.Forget();
            return perf_status::Unreadable;
        }
        switch (counter_.formula) {
        case Formula::Value:
            value = static_cast<double>(number);
            return perf_status::Ok;
        case Formula::LimitInUse:
            return LimitInUse(*group, number, value);
        case Formula::StallPercent:
            return StalledPercent(baseline_, group->Key(), number, snapshot.NowNs(), value);
        case Formula::CpuPercent:
        case Formula::PerSecond:
            break;
        }
        RateBaseline<1>::Raw delta{};
        double seconds = 0.0;
        const PerfStatus status = AdvanceRate(baseline_, group->Key(), {number}, snapshot.NowNs(), delta, seconds);
        if (status == perf_status::Ok) {
            const double perSecond = static_cast<double>(delta[0]) / seconds;
            value = counter_.formula == Formula::CpuPercent ? 100.0 * perSecond / MicrosecondsPerSecond : perSecond;
        }
        return status;
    }

private:
    static PerfStatus LimitInUse(ControlGroup& group, std::uint64_t current, double& value)
    {
        std::uint64_t limit = 0;
        if (!ReadNumber(group, GroupFile::MemoryMax, ParseSingleValue, limit) || limit == 0)
            return perf_status::Unreadable;
        value = 100.0 * static_cast<double>(current) / static_cast<double>(limit);
        return perf_status::Ok;
    }

    GroupCounter counter_;
    std::string instance_;
    RateBaseline<1> baseline_;
};

std::unique_ptr<CounterReader> MakeControlGroupReader(std::size_t counter, std::string_view instance)
{
    return std::make_unique<ControlGroupReader>(GroupCounters[counter], instance);
}

void ListControlGroups(SystemSnapshot& snapshot, std::vector<std::string>& instances)
{
    snapshot.ControlGroups().List(instances);
}

} // namespace

const ObjectFamily& ControlGroupFamily()
{
    static constexpr ObjectFamily family{
        "Control Group",
        "The control groups of the cgroup v2 hierarchy (systemd services and slices, user sessions, containers), "
        "named by their path below its root, and _Total for the root itself. A counter whose controller is not "
        "enabled for a group has no value there; without cgroup v2 the object has no instances.",
        ControlGroupCounters, true, sources::ControlGroups, MakeControlGroupReader, ListControlGroups};
    return family;
}

} // namespace quel
