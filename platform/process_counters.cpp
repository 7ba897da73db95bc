#include "platform/process_counters.h"

#include "platform/process_table.h"
#include "platform/system_snapshot.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quel {
namespace {

constexpr std::array<CounterInfo, 17> ProcessCounters = {{
    {"% Processor Time", "%",
     "The processor time the processes used, user and kernel mode; 100 is one processor busy for the whole "
     "interval, so a process keeping two processors busy reads 200.",
     "/proc/PID/stat utime + stime (fields 14, 15): 100 x d(ticks) / CLK_TCK / dt, the deltas taken per process", ""},
    {"% User Time", "%", "The processor time the processes used in user mode; 100 is one processor busy.",
     "/proc/PID/stat utime: 100 x d(ticks) / CLK_TCK / dt, per process", ""},
    {"% Privileged Time", "%", "The processor time the kernel spent for the processes; 100 is one processor busy.",
     "/proc/PID/stat stime: 100 x d(ticks) / CLK_TCK / dt, per process", ""},
    {"Working Set", "bytes", "The processes' memory resident in RAM, shared pages included.",
     "/proc/PID/statm resident x page size, or VmRSS of /proc/PID/status (kB x 1024) when that is read anyway", ""},
    {"Working Set - Private", "bytes", "The processes' resident memory that is their own: anonymous and shared-memory pages.",
     "/proc/PID/status RssAnon + RssShmem (kB x 1024)", ""},
    {"Private Bytes", "bytes", "The processes' own memory, resident or swapped out.",
     "/proc/PID/status RssAnon + VmSwap (kB x 1024)", ""},
    {"Virtual Bytes", "bytes", "The size of the processes' address spaces.",
     "/proc/PID/stat vsize (field 23, the VmSize of status)", ""},
    {"Page File Bytes", "bytes", "The processes' memory that is swapped out.", "/proc/PID/status VmSwap (kB x 1024)", ""},
    {"Thread Count", "threads", "The threads of the processes.", "/proc/PID/stat num_threads (field 20)", ""},
    {"Handle Count", "handles",
     "The files, pipes and sockets the processes hold open. A user other than root sees only its own processes' "
     "values here.",
     "the entries of /proc/PID/fd", ""},
    {"IO Read Bytes/sec", "bytes per second",
     "The bytes the processes read per second from files, pipes and sockets, cache hits included. A user other "
     "than root sees only its own processes' values here.",
     "/proc/PID/io rchar: d(rchar) / dt, per process", ""},
    {"IO Write Bytes/sec", "bytes per second",
     "The bytes the processes wrote per second to files, pipes and sockets. A user other than root sees only its "
     "own processes' values here.",
     "/proc/PID/io wchar: d(wchar) / dt, per process", ""},
    {"IO Data Bytes/sec", "bytes per second",
     "The bytes the processes read and wrote per second. A user other than root sees only its own processes' "
     "values here.",
     "/proc/PID/io: d(rchar + wchar) / dt, per process", ""},
    {"Page Faults/sec", "per second", "The page faults of the processes per second, minor and major.",
     "/proc/PID/stat minflt + majflt (fields 10, 12): d / dt, per process", ""},
    {"Elapsed Time", "seconds", "How long the oldest of the processes has been running.",
     "/proc/uptime - starttime (stat field 22) / CLK_TCK of the oldest process", ""},
    {"ID Process", "number", "The process ID, the lowest one when several processes share the name.",
     "the lowest PID of the instance", ""},
    {"Process Count", "processes", "How many processes the instance holds.", "the /proc/PID folders of the instance", ""},
}};

enum class Kind { Sum, Rate, Elapsed, LowestPid, Count };
enum class Scale { One, KiB, CpuPercent };

// How a counter is computed: which files, which value of one process, and its unit.
struct Rule {
    Kind kind;
    std::uint32_t files;
    std::uint64_t (*raw)(const ProcessValues&);
    Scale scale;
};

using process_file::Fd;
using process_file::Io;
using process_file::Stat;
using process_file::Statm;
using process_file::Status;
using V = ProcessValues;

// Two fields of one process; a corrupted file's sum saturates rather than wraps.
constexpr std::uint64_t Plus(std::uint64_t a, std::uint64_t b)
{
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

constexpr std::array<Rule, ProcessCounters.size()> Rules = {{
    {Kind::Rate, Stat, [](const V& v) { return Plus(v.userTicks, v.systemTicks); }, Scale::CpuPercent},
    {Kind::Rate, Stat, [](const V& v) { return v.userTicks; }, Scale::CpuPercent},
    {Kind::Rate, Stat, [](const V& v) { return v.systemTicks; }, Scale::CpuPercent},
    {Kind::Sum, Statm, [](const V& v) { return v.residentBytes; }, Scale::One},
    {Kind::Sum, Status, [](const V& v) { return Plus(v.rssAnonKb, v.rssShmemKb); }, Scale::KiB},
    {Kind::Sum, Status, [](const V& v) { return Plus(v.rssAnonKb, v.swapKb); }, Scale::KiB},
    {Kind::Sum, Stat, [](const V& v) { return v.virtualBytes; }, Scale::One},
    {Kind::Sum, Status, [](const V& v) { return v.swapKb; }, Scale::KiB},
    {Kind::Sum, Stat, [](const V& v) { return v.threads; }, Scale::One},
    {Kind::Sum, Fd, [](const V& v) { return v.handles; }, Scale::One},
    {Kind::Rate, Io, [](const V& v) { return v.readBytes; }, Scale::One},
    {Kind::Rate, Io, [](const V& v) { return v.writeBytes; }, Scale::One},
    {Kind::Rate, Io, [](const V& v) { return Plus(v.readBytes, v.writeBytes); }, Scale::One},
    {Kind::Rate, Stat, [](const V& v) { return v.faults; }, Scale::One},
    {Kind::Elapsed, Stat, nullptr, Scale::One},
    {Kind::LowestPid, Stat, nullptr, Scale::One},
    {Kind::Count, Stat, nullptr, Scale::One},
}};

double Factor(Scale scale, const ProcessTable& table)
{
    switch (scale) {
    case Scale::KiB:
        return 1024.0;
    case Scale::CpuPercent:
        return 100.0 / table.TicksPerSecond();
    case Scale::One:
        break;
    }
    return 1.0;
}

// One value of one process, keyed by PID and start time so that a reused PID primes again.
struct ProcessRaw {
    std::uint32_t pid;
    std::uint64_t startTicks;
    std::uint64_t raw;
};

class ProcessReader final : public CounterReader {
public:
    ProcessReader(const Rule& rule, std::string_view instance)
        : rule_(rule), instance_(instance), total_(instance == TotalInstance)
    {
    }

    SourceMask Sources() const override
    {
        return sources::ProcessTable | (rule_.kind == Kind::Elapsed ? sources::Uptime : 0);
    }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        ProcessTable& table = snapshot.Processes();
        if (!table.Valid()) {
            Forget();
            return perf_status::Unreadable;
        }
        const std::span<const std::uint32_t> members = total_ ? table.All() : table.Named(instance_);
        if (members.empty() && !total_) {
            Forget();
            return perf_status::NoInstance;
        }
        switch (rule_.kind) {
        case Kind::Sum:
            return Sum(table, members, value);
        case Kind::Rate:
            return Rate(table, members, snapshot.NowNs(), value);
        case Kind::Elapsed:
            return Elapsed(snapshot, table, members, value);
        case Kind::LowestPid:
            if (members.empty())
                return perf_status::Unreadable;
            value = table.Load(members.front(), Stat).pid;  // members are in PID order
            return perf_status::Ok;
        case Kind::Count:
            value = static_cast<double>(members.size());
            return perf_status::Ok;
        }
        return perf_status::Unreadable;
    }

private:
    // The processes whose files could not be read (another user's io or fd) are left out.
    PerfStatus Sum(ProcessTable& table, std::span<const std::uint32_t> members, double& value) const
    {
        double sum = 0.0;
        bool any = false;
        for (const std::uint32_t index : members) {
            const Process& process = table.Load(index, rule_.files);
            if ((process.loaded & rule_.files) != rule_.files)
                continue;
            sum += static_cast<double>(rule_.raw(process.values));
            any = true;
        }
        if (!any)
            return perf_status::Unreadable;
        value = sum * Factor(rule_.scale, table);
        return perf_status::Ok;
    }

    // Deltas per process, summed: a process that ended or started since the last collection
    // is on one side only and adds nothing, so the sum does not jump.
    PerfStatus Rate(ProcessTable& table, std::span<const std::uint32_t> members, std::int64_t nowNs, double& value)
    {
        if (primed_ && nowNs <= previousNs_)
            return perf_status::NoData;  // no time has passed: keep the baseline
        current_.clear();
        double sum = 0.0;
        bool matched = false;
        auto previous = previous_.cbegin();
        for (const std::uint32_t index : members) {
            const Process& process = table.Load(index, rule_.files);
            if ((process.loaded & rule_.files) != rule_.files)
                continue;
            const ProcessRaw now{process.pid, process.values.startTicks, rule_.raw(process.values)};
            current_.push_back(now);
            while (previous != previous_.cend() && previous->pid < now.pid)
                ++previous;
            // A value that went backwards is a reset: that process primes again.
            if (previous != previous_.cend() && previous->pid == now.pid && previous->startTicks == now.startTicks
                && previous->raw <= now.raw) {
                sum += static_cast<double>(now.raw - previous->raw);
                matched = true;
            }
        }
        if (current_.empty()) {
            Forget();
            return perf_status::Unreadable;
        }
        const double seconds = static_cast<double>(nowNs - previousNs_) / 1e9;
        const bool ready = primed_ && matched;
        previous_.swap(current_);
        previousNs_ = nowNs;
        primed_ = true;
        if (!ready)
            return perf_status::NoData;
        value = sum * Factor(rule_.scale, table) / seconds;
        return perf_status::Ok;
    }

    static PerfStatus Elapsed(SystemSnapshot& snapshot, const ProcessTable& table,
                              std::span<const std::uint32_t> members, double& value)
    {
        double uptime = 0.0;
        if (members.empty() || !snapshot.Load().UptimeSeconds(uptime))
            return perf_status::Unreadable;
        std::uint64_t oldest = UINT64_MAX;
        for (const std::uint32_t index : members)
            oldest = std::min(oldest, table.At(index).values.startTicks);
        value = std::max(0.0, uptime - static_cast<double>(oldest) / table.TicksPerSecond());
        return perf_status::Ok;
    }

    void Forget()
    {
        primed_ = false;
        previous_.clear();
    }

    const Rule& rule_;
    std::string instance_;
    bool total_;
    bool primed_ = false;
    std::int64_t previousNs_ = 0;
    std::vector<ProcessRaw> previous_;  // by PID
    std::vector<ProcessRaw> current_;
};

std::unique_ptr<CounterReader> MakeProcessReader(std::size_t counter, std::string_view instance)
{
    return std::make_unique<ProcessReader>(Rules[counter], instance);
}

void ListProcesses(SystemSnapshot& snapshot, std::vector<std::string>& instances)
{
    const ProcessTable& table = snapshot.Processes();
    if (!table.Valid())
        return;
    table.ListNames(instances);
    instances.emplace_back(TotalInstance);
}

} // namespace

const ObjectFamily& ProcessFamily()
{
    static constexpr ObjectFamily family{
        "Process",
        "The processes running on the computer, by name (the kernel's comm, as top and ps show it). An instance "
        "stands for every process of that name and its values are the sums over them, so a path keeps meaning the "
        "same program as its processes come and go; _Total sums every process. Kernel threads are left out.",
        ProcessCounters, true, sources::ProcessTable, MakeProcessReader, ListProcesses};
    return family;
}

} // namespace quel
