#include "tests/engine/scripted_source.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace quel::test {
namespace {

const std::map<std::uint32_t, std::string> englishNames {
    {2, "System"}, {4, "Memory"}, {6, "% Processor Time"}, {200, "% Disk Time"}, {234, "PhysicalDisk"},
    {236, "LogicalDisk"}, {238, "Processor"}, {248, "Processes"}, {250, "Threads"}, {260, "Objects"},
    {314, "Server Sessions"}, {330, "Server"}, {388, "Bytes Total/sec"}, {408, "% Free Space"},
    {510, "Network Interface"}, {520, "Current Bandwidth"}, {700, "Paging File"}, {702, "% Usage"},
    {1350, "% Registry Quota In Use"}, {1406, "% Committed Bytes In Use"},
};

std::size_t ListLength(const std::vector<std::string>& names)
{
    std::size_t length = 1;
    for (const std::string& name : names)
        length += name.size() + 1;
    return length;
}

void FillList(const std::vector<std::string>& names, char* buffer)
{
    for (const std::string& name : names) {
        std::memcpy(buffer, name.c_str(), name.size() + 1);
        buffer += name.size() + 1;
    }
    *buffer = '\0';
}

} // namespace

ScriptedSource::ScriptedSource(Clock* clock) : clock_(clock), names_(englishNames) {}

ScriptedSource::~ScriptedSource() = default;

void ScriptedSource::Script(const std::string& path, std::vector<Reading> readings)
{
    std::lock_guard guard(lock_);
    scripts_[path] = std::move(readings);
}

void ScriptedSource::ScriptValues(const std::string& path, const std::vector<double>& values)
{
    std::vector<Reading> readings;
    for (double value : values)
        readings.push_back({perf_status::Ok, value});
    Script(path, std::move(readings));
}

void ScriptedSource::SetInstances(const std::string& object, std::vector<std::string> instances)
{
    std::lock_guard guard(lock_);
    instances_[object] = std::move(instances);
}

void ScriptedSource::SetName(std::uint32_t index, const std::string& name)
{
    std::lock_guard guard(lock_);
    names_[index] = name;
}

void ScriptedSource::FailOpenQuery(bool fail)
{
    std::lock_guard guard(lock_);
    failOpen_ = fail;
}

void ScriptedSource::SetLoopback(const std::string& instance)
{
    std::lock_guard guard(lock_);
    loopback_ = instance;
}

void ScriptedSource::PauseAtCollection(int index)
{
    std::lock_guard guard(lock_);
    pauseAt_ = index;
    changed_.notify_all();
}

bool ScriptedSource::WaitUntilPaused(int timeoutMs)
{
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                             [&] { return pausedAt_ >= 0 && pausedAt_ == pauseAt_; });
}

void ScriptedSource::Resume()
{
    std::lock_guard guard(lock_);
    pauseAt_ = -1;
    changed_.notify_all();
}

int ScriptedSource::Collections() const
{
    std::lock_guard guard(lock_);
    return static_cast<int>(ticks_.size());
}

std::vector<std::uint32_t> ScriptedSource::CollectionTicks() const
{
    std::lock_guard guard(lock_);
    return ticks_;
}

int ScriptedSource::OpenCounters() const
{
    std::lock_guard guard(lock_);
    return static_cast<int>(counters_.size());
}

int ScriptedSource::OpenQueries() const
{
    std::lock_guard guard(lock_);
    return static_cast<int>(queries_.size());
}

PerfStatus ScriptedSource::OpenQuery(PerfQueryHandle& query)
{
    std::lock_guard guard(lock_);
    if (failOpen_)
        return perf_status::Unreadable;
    queries_.push_back(std::make_unique<Query>());
    query = reinterpret_cast<PerfQueryHandle>(queries_.back().get());
    return perf_status::Ok;
}

PerfStatus ScriptedSource::AddCounter(PerfQueryHandle query, std::string_view path, PerfCounterHandle& counter)
{
    std::lock_guard guard(lock_);
    auto* q = reinterpret_cast<Query*>(query);
    if (std::none_of(queries_.begin(), queries_.end(), [&](const auto& item) { return item.get() == q; }))
        return perf_status::InvalidHandle;
    counters_.push_back(std::make_unique<Counter>(Counter {q, std::string(path)}));
    counter = reinterpret_cast<PerfCounterHandle>(counters_.back().get());
    return perf_status::Ok;
}

PerfStatus ScriptedSource::CollectQueryData(PerfQueryHandle query)
{
    std::unique_lock guard(lock_);
    auto* q = reinterpret_cast<Query*>(query);
    if (!q || std::none_of(queries_.begin(), queries_.end(), [&](const auto& item) { return item.get() == q; }))
        return perf_status::InvalidHandle;
    if (pauseAt_ == q->collections) {
        pausedAt_ = q->collections;
        changed_.notify_all();
        changed_.wait(guard, [&] { return pauseAt_ != q->collections; });
        pausedAt_ = -1;
    }
    ticks_.push_back(clock_ ? clock_->TickCount() : 0);
    ++q->collections;
    return perf_status::Ok;
}

PerfStatus ScriptedSource::GetFormattedCounterValue(PerfCounterHandle counter, double& value)
{
    std::lock_guard guard(lock_);
    auto* c = reinterpret_cast<Counter*>(counter);
    if (!c || std::none_of(counters_.begin(), counters_.end(), [&](const auto& item) { return item.get() == c; }))
        return perf_status::InvalidHandle;
    if (c->query->collections == 0)
        return perf_status::NoData;
    const auto script = scripts_.find(c->path);
    if (script == scripts_.end() || script->second.empty())
        return perf_status::NoCounter;
    const auto& readings = script->second;
    const std::size_t index = std::min<std::size_t>(static_cast<std::size_t>(c->query->collections - 1), readings.size() - 1);
    if (readings[index].status != perf_status::Ok)
        return readings[index].status;
    value = readings[index].value;
    return perf_status::Ok;
}

PerfStatus ScriptedSource::RemoveCounter(PerfCounterHandle counter)
{
    std::lock_guard guard(lock_);
    auto* c = reinterpret_cast<Counter*>(counter);
    const auto found = std::find_if(counters_.begin(), counters_.end(), [&](const auto& item) { return item.get() == c; });
    if (found == counters_.end())
        return perf_status::InvalidHandle;
    counters_.erase(found);
    return perf_status::Ok;
}

PerfStatus ScriptedSource::CloseQuery(PerfQueryHandle query)
{
    std::lock_guard guard(lock_);
    auto* q = reinterpret_cast<Query*>(query);
    const auto found = std::find_if(queries_.begin(), queries_.end(), [&](const auto& item) { return item.get() == q; });
    if (found == queries_.end())
        return perf_status::InvalidHandle;
    std::erase_if(counters_, [&](const auto& item) { return item->query == q; });
    queries_.erase(found);
    return perf_status::Ok;
}

PerfStatus ScriptedSource::EnumObjectItems(std::string_view object, char* counters, std::size_t& countersLength,
                                           char* instances, std::size_t& instancesLength, std::string_view)
{
    std::lock_guard guard(lock_);
    const auto found = instances_.find(std::string(object));
    if (found == instances_.end())
        return perf_status::NoObject;
    const std::vector<std::string> noCounters;
    const std::size_t neededCounters = ListLength(noCounters);
    const std::size_t neededInstances = ListLength(found->second);
    if (!counters || !instances || countersLength < neededCounters || instancesLength < neededInstances) {
        countersLength = neededCounters;
        instancesLength = neededInstances;
        return perf_status::MoreData;
    }
    FillList(noCounters, counters);
    FillList(found->second, instances);
    return perf_status::Ok;
}

PerfStatus ScriptedSource::LookupPerfNameByIndex(std::uint32_t index, std::string& name)
{
    std::lock_guard guard(lock_);
    const auto found = names_.find(index);
    if (found == names_.end())
        return perf_status::NoObject;
    name = found->second;
    return perf_status::Ok;
}

PerfStatus ScriptedSource::EnumObjects(std::vector<std::string>& objects, std::string_view)
{
    std::lock_guard guard(lock_);
    objects.clear();
    for (const auto& [object, list] : instances_)
        objects.push_back(object);
    return perf_status::Ok;
}

bool ScriptedSource::IsLoopbackInterface(std::string_view instance)
{
    std::lock_guard guard(lock_);
    return !loopback_.empty() && instance == loopback_;
}

} // namespace quel::test
