#include "platform/system_counters.h"

#include "platform/exposition_page.h"
#include "platform/processor_counters.h"
#include "platform/rate_baseline.h"
#include "platform/system_snapshot.h"
#include "platform/text_scan.h"

#include <array>
#include <cmath>

namespace quel {
namespace {

enum class SystemCounter {
    QueueLength, ContextSwitches, UpTime, RegistryQuota, Processes, Threads, ForksPerSec, ProcsBlocked,
};
enum class ObjectsCounter { Processes, Threads };

// Counters of both the Objects and the System object, read by the same reader.
constexpr CounterInfo ProcessesCounter = {"Processes", "processes", "The number of processes that exist now.",
    "the numeric entries of /proc", "node_processes_pids (the processes collector, off by default)"};
constexpr CounterInfo ThreadsCounter = {"Threads", "threads",
    "The number of threads of all processes (the scheduling entities of /proc/loadavg).",
    "/proc/loadavg, the number after the \"/\" in the fourth field",
    "node_processes_threads (the processes collector, off by default)"};

constexpr std::array<CounterInfo, 8> SystemCounters = {{
    {"Processor Queue Length", "threads", "The runnable threads waiting for a processor beyond those running on one.",
     "/proc/stat: max(0, procs_running - online CPUs)", "node_procs_running minus the CPUs of node_cpu_seconds_total"},
    {"Context Switches/sec", "per second", "The switches of the processors from one thread to another per second.",
     "/proc/stat: d(ctxt) / dt", "node_context_switches_total"},
    {"System Up Time", "seconds", "The seconds since the computer started.", "/proc/uptime, first field",
     "node_time_seconds - node_boot_time_seconds"},
    {"% Registry Quota In Use", "%",
     "Linux has no registry quota: this counter exists so that older profiles stay valid, but never has a value.",
     "none: every read fails", ""},
    ProcessesCounter,
    ThreadsCounter,
    {"Forks/sec", "per second", "The processes and threads created per second (fork and clone).",
     "/proc/stat: d(processes) / dt", "node_forks_total"},
    {"Procs Blocked", "threads", "The threads waiting now for I/O to complete (uninterruptible sleep on I/O).",
     "/proc/stat: procs_blocked", "node_procs_blocked"},
}};
constexpr std::array<CounterInfo, 2> ObjectsCounters = {{ProcessesCounter, ThreadsCounter}};
constexpr std::array<CounterInfo, 1> ServerCounters = {{
    {"Server Sessions", "sessions",
     "The file-sharing (SMB) sessions the computer serves, from ksmbd or the established connections to ports 445 and 139.",
     "`sessions:` of /proc/fs/ksmbd/server, else the established TCP connections on local port 445 or 139 in /proc/net/tcp and tcp6, read at most every 10 s",
     ""},
}};

constexpr std::uint64_t SmbPort = 445;
constexpr std::uint64_t NetBiosSessionPort = 139;
constexpr std::string_view TcpEstablished = "01";

class ObjectsReader final : public CounterReader {
public:
    explicit ObjectsReader(ObjectsCounter counter) : counter_(counter) {}

    SourceMask Sources() const override
    {
        return counter_ == ObjectsCounter::Processes ? sources::ProcessDir : sources::LoadAvg;
    }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        std::uint64_t count = 0;
        const bool known = counter_ == ObjectsCounter::Processes ? snapshot.Load().Processes(count)
                                                                 : snapshot.Load().Threads(count);
        if (!known)
            return perf_status::Unreadable;
        value = static_cast<double>(count);
        return perf_status::Ok;
    }

private:
    ObjectsCounter counter_;
};

class SystemReader final : public CounterReader {
public:
    explicit SystemReader(SystemCounter counter) : counter_(counter) {}

    SourceMask Sources() const override
    {
        switch (counter_) {
        case SystemCounter::QueueLength:
        case SystemCounter::ContextSwitches:
        case SystemCounter::ForksPerSec:
        case SystemCounter::ProcsBlocked:
            return sources::Stat;
        case SystemCounter::UpTime:
            return sources::Uptime;
        case SystemCounter::RegistryQuota:
        case SystemCounter::Processes:  // made as ObjectsReader
        case SystemCounter::Threads:
            return 0;
        }
        return 0;
    }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        std::uint64_t count = 0;
        switch (counter_) {
        case SystemCounter::QueueLength: {
            // procs_running counts the running tasks too, not only the waiting ones.
            if (!snapshot.Stat().Line(StatLine::ProcsRunning, count))
                return perf_status::Unreadable;
            const std::uint64_t cpus = snapshot.Stat().OnlineCpus();
            value = count > cpus ? static_cast<double>(count - cpus) : 0.0;
            return perf_status::Ok;
        }
        case SystemCounter::ContextSwitches:
            return SampleRate(snapshot, StatLine::ContextSwitches, value);
        case SystemCounter::ForksPerSec:
            return SampleRate(snapshot, StatLine::Forks, value);
        case SystemCounter::ProcsBlocked:
            if (!snapshot.Stat().Line(StatLine::ProcsBlocked, count))
                return perf_status::Unreadable;
            value = static_cast<double>(count);
            return perf_status::Ok;
        case SystemCounter::UpTime:
            return snapshot.Load().UptimeSeconds(value) ? perf_status::Ok : perf_status::Unreadable;
        case SystemCounter::RegistryQuota:  // Linux has no registry: the counter exists, its value never does
        case SystemCounter::Processes:
        case SystemCounter::Threads:
            return perf_status::Unreadable;
        }
        return perf_status::Unreadable;
    }

private:
    PerfStatus SampleRate(SystemSnapshot& snapshot, StatLine line, double& value)
    {
        std::uint64_t count = 0;
        if (!snapshot.Stat().Line(line, count)) {
            baseline_.Forget();
            return perf_status::Unreadable;
        }
        return CountPerSecond(baseline_, count, snapshot.NowNs(), value);
    }

    SystemCounter counter_;
    RateBaseline<1> baseline_;
};

class ServerReader final : public CounterReader {
public:
    SourceMask Sources() const override { return sources::Sessions; }
    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        std::uint64_t sessions = 0;
        if (!snapshot.Sessions().Sessions(sessions))
            return perf_status::Unreadable;
        value = static_cast<double>(sessions);
        return perf_status::Ok;
    }
};

std::unique_ptr<CounterReader> MakeSystemReader(std::size_t counter, std::string_view)
{
    switch (static_cast<SystemCounter>(counter)) {
    case SystemCounter::Processes:
        return std::make_unique<ObjectsReader>(ObjectsCounter::Processes);
    case SystemCounter::Threads:
        return std::make_unique<ObjectsReader>(ObjectsCounter::Threads);
    default:
        return std::make_unique<SystemReader>(static_cast<SystemCounter>(counter));
    }
}

std::unique_ptr<CounterReader> MakeObjectsReader(std::size_t counter, std::string_view)
{
    return std::make_unique<ObjectsReader>(static_cast<ObjectsCounter>(counter));
}

std::unique_ptr<CounterReader> MakeServerReader(std::size_t, std::string_view)
{
    return std::make_unique<ServerReader>();
}

bool IsNumber(const char* name)
{
    if (*name == '\0')
        return false;
    for (; *name != '\0'; ++name) {
        if (*name < '0' || *name > '9')
            return false;
    }
    return true;
}

// A /proc/net/tcp or tcp6 line: "sl local rem st ...", addresses as HEXADDR:HEXPORT.
bool IsSessionLine(std::string_view line)
{
    text::NextField(line);  // sl
    const std::string_view local = text::NextField(line);
    text::NextField(line);  // remote
    const std::string_view state = text::NextField(line);
    const std::size_t colon = local.rfind(':');
    std::uint64_t port = 0;
    if (colon == std::string_view::npos || !text::ParseHex(local.substr(colon + 1), port))
        return false;
    return state == TcpEstablished && (port == SmbPort || port == NetBiosSessionPort);
}

} // namespace

ProcessDirectory::ProcessDirectory(std::string path) : path_(std::move(path)) {}

ProcessDirectory::~ProcessDirectory()
{
    if (dir_ != nullptr)
        ::closedir(dir_);
}

void ProcessDirectory::Refresh()
{
    if (dir_ == nullptr)
        dir_ = ::opendir(path_.c_str());
    else
        ::rewinddir(dir_);
    valid_ = dir_ != nullptr;
    if (!valid_)
        return;
    count_ = 0;
    while (const dirent* entry = ::readdir(dir_)) {
        if (IsNumber(entry->d_name))
            ++count_;
    }
}

bool ProcessDirectory::Count(std::uint64_t& processes) const
{
    processes = count_;
    return valid_;
}

void ProcessDirectory::Set(bool valid, std::uint64_t processes)
{
    valid_ = valid;
    count_ = processes;
}

LoadSource::LoadSource(const std::string& procRoot)
    : loadavg_(procRoot + "/loadavg"), uptime_(procRoot + "/uptime"), processes_(procRoot)
{
}

void LoadSource::RefreshLoadAvg()
{
    // "0.04 0.11 0.07 1/115 5818": the number after "/" in the fourth field.
    std::string_view content;
    threadsValid_ = false;
    if (!loadavg_.Read(content))
        return;
    for (int i = 0; i < 3; ++i)
        text::NextField(content);
    const std::string_view tasks = text::NextField(content);
    const std::size_t slash = tasks.find('/');
    threadsValid_ = slash != std::string_view::npos && text::ParseU64(tasks.substr(slash + 1), threads_);
}

void LoadSource::RefreshUptime()
{
    std::string_view content;
    // A negative or non-finite uptime is no time the machine has been up.
    uptimeValid_ = uptime_.Read(content) && text::ParseDouble(text::NextField(content), uptimeSeconds_) &&
                   std::isfinite(uptimeSeconds_) && uptimeSeconds_ >= 0.0;
}

bool LoadSource::Threads(std::uint64_t& threads) const
{
    threads = threads_;
    return threadsValid_;
}

bool LoadSource::UptimeSeconds(double& seconds) const
{
    seconds = uptimeSeconds_;
    return uptimeValid_;
}

namespace {
// node_processes_pids comes from the processes collector, which is off by default.
constexpr std::array<std::string_view, 4> LoadSeries = {"node_processes_threads", "node_processes_pids",
                                                        "node_boot_time_seconds", "node_time_seconds"};
} // namespace

std::span<const std::string_view> LoadSource::Series() const
{
    return LoadSeries;
}

void LoadSource::BeginPage(std::uint64_t)
{
    threadsValid_ = false;
    uptimeValid_ = false;
    processes_.Set(false, 0);
    pageHasBootTime_ = false;
    pageHasTime_ = false;
}

void LoadSource::TakeSample(const ExpositionPage&, const ExpositionSample& sample)
{
    const std::string_view name = sample.name;
    if (name == "node_processes_threads") {
        threadsValid_ = PageCount(sample.value, 1.0, threads_);
    } else if (name == "node_processes_pids") {
        std::uint64_t processes = 0;
        const bool valid = PageCount(sample.value, 1.0, processes);
        processes_.Set(valid, processes);
    } else if (name == "node_boot_time_seconds") {
        pageHasBootTime_ = std::isfinite(sample.value);
        pageBootTime_ = sample.value;
    } else {
        pageHasTime_ = std::isfinite(sample.value);
        pageTime_ = sample.value;
    }
}

void LoadSource::EndPage()
{
    // Both finite, yet their difference may not be (1e308 - -1e308).
    uptimeValid_ = pageHasBootTime_ && pageHasTime_ && pageTime_ >= pageBootTime_
        && std::isfinite(pageTime_ - pageBootTime_);
    uptimeSeconds_ = uptimeValid_ ? pageTime_ - pageBootTime_ : 0.0;
}

SessionSource::SessionSource(const std::string& procRoot, std::int64_t intervalNs)
    : ksmbd_(procRoot + "/fs/ksmbd/server"), tcp_(procRoot + "/net/tcp"), tcp6_(procRoot + "/net/tcp6"),
      intervalNs_(intervalNs)
{
}

void SessionSource::Refresh(std::int64_t nowNs)
{
    if (haveReading_ && nowNs - lastReadNs_ < intervalNs_)
        return;
    haveReading_ = true;
    lastReadNs_ = nowNs;
    std::uint64_t sessions = 0;
    if (ReadKsmbd(sessions)) {
        valid_ = true;
    } else {
        std::uint64_t sessions6 = 0;
        const bool v4 = CountTcp(tcp_, sessions);
        const bool v6 = CountTcp(tcp6_, sessions6);  // absent when IPv6 is off
        valid_ = v4 || v6;
        sessions += sessions6;
    }
    sessions_ = sessions;
}

bool SessionSource::ReadKsmbd(std::uint64_t& sessions)
{
    std::string_view content;
    if (!ksmbd_.Read(content))
        return false;
    std::string_view line;
    while (text::NextLine(content, line)) {
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && text::EqualsNoCase(text::Trim(line.substr(0, colon)), "sessions"))
            return text::ParseU64(text::Trim(line.substr(colon + 1)), sessions);
    }
    return false;
}

bool SessionSource::CountTcp(ProcFile& file, std::uint64_t& sessions)
{
    std::string_view content;
    if (!file.Read(content))
        return false;
    std::string_view line;
    text::NextLine(content, line);  // header
    while (text::NextLine(content, line)) {
        if (IsSessionLine(line))
            ++sessions;
    }
    return true;
}

bool SessionSource::Sessions(std::uint64_t& sessions) const
{
    sessions = sessions_;
    return valid_;
}

// The node exporter serves no file-sharing sessions.
std::span<const std::string_view> SessionSource::Series() const
{
    return {};
}

void SessionSource::BeginPage(std::uint64_t)
{
    valid_ = false;
}

void SessionSource::TakeSample(const ExpositionPage&, const ExpositionSample&) {}

void SessionSource::EndPage() {}

const ObjectFamily& SystemFamily()
{
    static constexpr ObjectFamily family{"System",
        "The computer as a whole: its run queue, context switches, forks, processes, threads and up time.", SystemCounters, false, 0, MakeSystemReader, ListNoInstances};
    return family;
}

const ObjectFamily& ObjectsFamily()
{
    static constexpr ObjectFamily family{"Objects",
        "The processes and threads that exist now.", ObjectsCounters, false, 0, MakeObjectsReader, ListNoInstances};
    return family;
}

const ObjectFamily& ServerFamily()
{
    static constexpr ObjectFamily family{"Server",
        "The computer as a file server (SMB). Costly: reading the TCP tables takes about a millisecond.", ServerCounters, false, 0, MakeServerReader, ListNoInstances};
    return family;
}

} // namespace quel
