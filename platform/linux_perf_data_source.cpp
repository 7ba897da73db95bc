#include "platform/linux_perf_data_source.h"

#include "platform/computer_address.h"
#include "platform/counter_path.h"
#include "platform/node_exporter_feed.h"
#include "platform/object_catalog.h"
#include "platform/perf_names.h"
#include "platform/service_page.h"
#include "platform/system_snapshot.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <unistd.h>

namespace quel {

struct LinuxPerfDataSource::Query {
    std::vector<std::unique_ptr<Counter>> counters;
    SourceMask sources = 0;
};

// A counter of a remote computer: read from our service's page by its path, or computed from a
// node exporter's page by the reader this machine would use.
struct RemoteCounter {
    RemoteMachine* machine = nullptr;
    std::string path;
    CounterPath parts;  // views into path
    const ObjectFamily* family = nullptr;
    std::size_t index = 0;
    PerfStatus familyStatus = perf_status::Ok;  // why a node exporter page cannot give it
    std::unique_ptr<CounterReader> reader;
    std::uint64_t epoch = 0;  // the machine's epoch the reader was made in
};

struct LinuxPerfDataSource::Counter {
    Query* query = nullptr;
    std::unique_ptr<CounterReader> reader;  // null when the path did not resolve or is remote
    std::unique_ptr<RemoteCounter> remote;
    PerfStatus pathStatus = perf_status::Ok;
    PerfStatus status = perf_status::NoData;
    double value = 0.0;
};

namespace {

std::string RootOrDefault(std::string root, const char* variable, const char* fallback)
{
    if (!root.empty())
        return root;
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? std::string(value) : std::string(fallback);
}

LinuxPerfDataSourceOptions Roots(std::string procRoot, std::string sysRoot)
{
    LinuxPerfDataSourceOptions options;
    options.procRoot = std::move(procRoot);
    options.sysRoot = std::move(sysRoot);
    return options;
}

// The length of a list of NUL-terminated names ended by an empty name.
std::size_t NameListLength(const auto& names)
{
    std::size_t length = 1;
    for (const auto& name : names)
        length += std::string_view(name).size() + 1;
    return length;
}

void WriteNameList(const auto& names, char* buffer)
{
    for (const auto& name : names) {
        const std::string_view text(name);
        std::memcpy(buffer, text.data(), text.size());
        buffer += text.size();
        *buffer++ = '\0';
    }
    *buffer = '\0';
}

std::vector<std::string_view> CounterNames(const ObjectFamily& family)
{
    std::vector<std::string_view> names;
    names.reserve(family.counters.size());
    for (const CounterInfo& counter : family.counters)
        names.push_back(counter.name);
    return names;
}

// The two-call protocol of EnumObjectItems: sizes first, then the lists.
PerfStatus FillNameLists(const auto& counterNames, const auto& instanceNames, char* counters,
                         std::size_t& countersLength, char* instances, std::size_t& instancesLength)
{
    const std::size_t countersNeeded = NameListLength(counterNames);
    const std::size_t instancesNeeded = NameListLength(instanceNames);
    if (countersLength < countersNeeded || instancesLength < instancesNeeded) {
        countersLength = countersNeeded;
        instancesLength = instancesNeeded;
        return perf_status::MoreData;
    }
    if (counters == nullptr || instances == nullptr)
        return perf_status::InvalidArgument;
    WriteNameList(counterNames, counters);
    WriteNameList(instanceNames, instances);
    countersLength = countersNeeded;
    instancesLength = instancesNeeded;
    return perf_status::Ok;
}

} // namespace

LinuxPerfDataSource::LinuxPerfDataSource() : LinuxPerfDataSource(LinuxPerfDataSourceOptions{}) {}

LinuxPerfDataSource::LinuxPerfDataSource(std::string procRoot, std::string sysRoot)
    : LinuxPerfDataSource(Roots(std::move(procRoot), std::move(sysRoot)))
{
}

LinuxPerfDataSource::LinuxPerfDataSource(LinuxPerfDataSourceOptions options)
    : hostName_(options.hostName.empty() ? LocalHostName() : options.hostName)
{
    SnapshotOptions snapshot;
    snapshot.procRoot = RootOrDefault(std::move(options.procRoot), "QUELLARIMOND_PROCFS", "/proc");
    snapshot.sysRoot = RootOrDefault(std::move(options.sysRoot), "QUELLARIMOND_SYSFS", "/sys");
    snapshot.clock = std::move(options.clock);
    snapshot.volumeStat = std::move(options.volumeStat);
    snapshot.volumeProbeWait = options.volumeProbeWait;
    snapshot.nvmlLibrary = std::move(options.nvmlLibrary);
    snapshot.notice = std::move(options.notice);
    snapshot_ = std::make_unique<SystemSnapshot>(snapshot);
    remote_ = std::make_unique<RemoteComputers>(std::move(options.remote));
}

LinuxPerfDataSource::~LinuxPerfDataSource() = default;

PerfStatus LinuxPerfDataSource::OpenQuery(PerfQueryHandle& query)
{
    query = nullptr;
    try {
        std::lock_guard lock(mutex_);
        queries_.push_back(std::make_unique<Query>());
        query = reinterpret_cast<PerfQueryHandle>(queries_.back().get());
        return perf_status::Ok;
    } catch (const std::bad_alloc&) {
        return perf_status::NoMemory;
    }
}

PerfStatus LinuxPerfDataSource::AddCounter(PerfQueryHandle query, std::string_view path, PerfCounterHandle& counter)
{
    counter = nullptr;
    try {
        std::lock_guard lock(mutex_);
        Query* owner = FindQuery(query);
        if (owner == nullptr)
            return perf_status::InvalidHandle;
        auto added = std::make_unique<Counter>();
        added->query = owner;
        added->pathStatus = Resolve(path, *added);
        added->status = added->reader || added->remote ? perf_status::NoData : added->pathStatus;
        Counter* raw = added.get();
        counters_.reserve(counters_.size() + 1);
        owner->counters.push_back(std::move(added));
        counters_.insert(std::upper_bound(counters_.begin(), counters_.end(), raw, std::less<>()), raw);
        UpdateSources(*owner);
        counter = reinterpret_cast<PerfCounterHandle>(raw);
        return raw->pathStatus;
    } catch (const std::bad_alloc&) {
        return perf_status::NoMemory;
    }
}

bool LinuxPerfDataSource::ReadsOverHttp(std::string_view path) const
{
    return PathReadsOverHttp(path, hostName_);
}

PerfStatus LinuxPerfDataSource::Resolve(std::string_view path, Counter& counter) const
{
    CounterPath parts;
    if (!ParseCounterPath(path, parts))
        return perf_status::BadPath;
    if (IsRemoteComputer(parts.computer, hostName_))
        return ResolveRemote(path, counter);
    const ObjectFamily* family = FindObjectFamily(parts.object);
    if (family == nullptr)
        return perf_status::NoObject;
    const std::optional<std::size_t> index = FindCounterIndex(*family, parts.counter);
    if (!index)
        return perf_status::NoCounter;
    if (family->hasInstances != parts.hasInstance)
        return perf_status::NoInstance;
    counter.reader = family->makeReader(*index, parts.instance);
    return perf_status::Ok;
}

PerfStatus LinuxPerfDataSource::ResolveRemote(std::string_view path, Counter& counter) const
{
    auto remote = std::make_unique<RemoteCounter>();
    remote->path.assign(path);
    ParseCounterPath(remote->path, remote->parts);
    remote->machine = &remote_->Machine(remote->parts.computer);
    remote->family = FindObjectFamily(remote->parts.object);
    std::optional<std::size_t> index;
    if (remote->family == nullptr)
        remote->familyStatus = perf_status::NoObject;
    else if (!(index = FindCounterIndex(*remote->family, remote->parts.counter)))
        remote->familyStatus = perf_status::NoCounter;
    else if (remote->family->hasInstances != remote->parts.hasInstance)
        remote->familyStatus = perf_status::NoInstance;
    else if (!remote->family->counters[*index].AvailableRemotely())
        remote->familyStatus = perf_status::NotRemote;
    remote->index = index.value_or(0);
    const PerfStatus status = remote->machine->status;
    counter.remote = std::move(remote);
    return status;
}

void LinuxPerfDataSource::SampleRemote(Counter& counter)
{
    RemoteCounter& remote = *counter.remote;
    const RemoteMachine& machine = *remote.machine;
    double value = 0.0;
    if (machine.status != perf_status::Ok) {
        counter.status = machine.status;
    } else if (!machine.answered) {
        counter.status = perf_status::NoMachine;
    } else if (machine.service) {
        counter.status = ServicePageValue(*machine.page, remote.parts, value);
    } else if (remote.familyStatus != perf_status::Ok) {
        counter.status = remote.familyStatus;
    } else {
        // A reader made before the computer last failed starts afresh: its rates prime again.
        if (!remote.reader || remote.epoch != machine.epoch) {
            remote.reader = remote.family->makeReader(remote.index, remote.parts.instance);
            remote.epoch = machine.epoch;
        }
        counter.status = remote.reader->Sample(remote.machine->snapshot, value);
        // What a page that answered does not hold, that computer does not serve.
        if (counter.status == perf_status::Unreadable)
            counter.status = perf_status::NotRemote;
    }
    counter.value = counter.status == perf_status::Ok ? value : 0.0;
}

void LinuxPerfDataSource::UpdateSources(Query& query)
{
    query.sources = 0;
    for (const auto& counter : query.counters) {
        if (counter->reader)
            query.sources |= counter->reader->Sources();
    }
}

PerfStatus LinuxPerfDataSource::CollectQueryData(PerfQueryHandle query)
{
    try {
        std::unique_lock lock(mutex_);
        Query* owner = FindQuery(query);
        if (owner == nullptr)
            return perf_status::InvalidHandle;
        if (owner->counters.empty())
            return perf_status::NoData;
        // One scrape per remote computer, all at once, waited for without the lock so that
        // other callers (and other queries) are not held up by a slow computer.
        std::vector<RemoteMachine*> machines;
        for (const auto& counter : owner->counters) {
            RemoteMachine* machine = counter->remote ? counter->remote->machine : nullptr;
            if (machine != nullptr && std::find(machines.begin(), machines.end(), machine) == machines.end())
                machines.push_back(machine);
        }
        if (!machines.empty()) {
            lock.unlock();
            RemoteComputers::Scrape(machines, remote_->Wait());
            lock.lock();
            owner = FindQuery(query);
            if (owner == nullptr)
                return perf_status::InvalidHandle;
            remote_->Take(machines);
        }
        snapshot_->Refresh(owner->sources);
        for (const auto& counter : owner->counters) {
            if (counter->remote) {
                SampleRemote(*counter);
                continue;
            }
            if (!counter->reader)
                continue;
            double value = 0.0;
            counter->status = counter->reader->Sample(*snapshot_, value);
            // A value that is not finite is no reading (a corrupted or fake tree gives them).
            if (counter->status == perf_status::Ok && !std::isfinite(value))
                counter->status = perf_status::Unreadable;
            counter->value = counter->status == perf_status::Ok ? value : 0.0;
        }
        return perf_status::Ok;
    } catch (const std::bad_alloc&) {
        return perf_status::NoMemory;
    }
}

PerfStatus LinuxPerfDataSource::GetFormattedCounterValue(PerfCounterHandle counter, double& value)
{
    std::lock_guard lock(mutex_);
    value = 0.0;
    const Counter* found = FindCounter(counter);
    if (found == nullptr)
        return perf_status::InvalidHandle;
    value = found->value;
    return found->status;
}

PerfStatus LinuxPerfDataSource::RemoveCounter(PerfCounterHandle counter)
{
    std::lock_guard lock(mutex_);
    Counter* found = FindCounter(counter);
    if (found == nullptr)
        return perf_status::InvalidHandle;
    Query& owner = *found->query;
    counters_.erase(std::lower_bound(counters_.begin(), counters_.end(), found, std::less<>()));
    std::erase_if(owner.counters, [&](const auto& c) { return c.get() == found; });
    UpdateSources(owner);
    return perf_status::Ok;
}

PerfStatus LinuxPerfDataSource::CloseQuery(PerfQueryHandle query)
{
    std::lock_guard lock(mutex_);
    Query* owner = FindQuery(query);
    if (owner == nullptr)
        return perf_status::InvalidHandle;
    std::erase_if(counters_, [&](const Counter* c) { return c->query == owner; });
    std::erase_if(queries_, [&](const auto& q) { return q.get() == owner; });
    return perf_status::Ok;
}

LinuxPerfDataSource::Query* LinuxPerfDataSource::FindQuery(PerfQueryHandle handle) const
{
    for (const auto& query : queries_) {
        if (reinterpret_cast<PerfQueryHandle>(query.get()) == handle)
            return query.get();
    }
    return nullptr;
}

LinuxPerfDataSource::Counter* LinuxPerfDataSource::FindCounter(PerfCounterHandle handle) const
{
    // The handle is only compared, never followed, until it is known to be one of ours.
    Counter* const wanted = reinterpret_cast<Counter*>(handle);
    const auto found = std::lower_bound(counters_.begin(), counters_.end(), wanted, std::less<>());
    return found != counters_.end() && *found == wanted ? *found : nullptr;
}

PerfStatus LinuxPerfDataSource::EnumObjectItems(std::string_view object, char* counters, std::size_t& countersLength,
                                                char* instances, std::size_t& instancesLength, std::string_view computer)
{
    try {
        if (IsRemoteComputer(computer, hostName_))
            return ListRemoteObjectItems(computer, object, counters, countersLength, instances, instancesLength);
        std::lock_guard lock(mutex_);
        return ListObjectItems(object, counters, countersLength, instances, instancesLength);
    } catch (const std::bad_alloc&) {
        return perf_status::NoMemory;
    }
}

PerfStatus LinuxPerfDataSource::ListObjectItems(std::string_view object, char* counters, std::size_t& countersLength,
                                                char* instances, std::size_t& instancesLength)
{
    const ObjectFamily* family = FindObjectFamily(object);
    if (family == nullptr)
        return perf_status::NoObject;
    std::vector<std::string> names;
    if (family->hasInstances) {
        snapshot_->Refresh(family->instanceSources);
        family->listInstances(*snapshot_, names);
    }
    return FillNameLists(CounterNames(*family), names, counters, countersLength, instances, instancesLength);
}

PerfStatus LinuxPerfDataSource::ListRemoteObjectItems(std::string_view computer, std::string_view object,
                                                      char* counters, std::size_t& countersLength, char* instances,
                                                      std::size_t& instancesLength)
{
    return remote_->WithPage(computer, [&](const ExpositionPage& page) {
        std::vector<std::string> counterNames;
        std::vector<std::string> instanceNames;
        if (IsServicePage(page)) {
            if (!ListServiceObjectItems(page, object, counterNames, instanceNames))
                return perf_status::NoObject;
            return FillNameLists(counterNames, instanceNames, counters, countersLength, instances, instancesLength);
        }
        const ObjectFamily* family = FindObjectFamily(object);
        if (family == nullptr)
            return perf_status::NoObject;
        if (family->hasInstances) {
            SystemSnapshot snapshot(FedSnapshotOptions());
            NodeExporterFeed::Apply(page, 0, snapshot);
            family->listInstances(snapshot, instanceNames);
        }
        return FillNameLists(CounterNames(*family), instanceNames, counters, countersLength, instances, instancesLength);
    });
}

PerfStatus LinuxPerfDataSource::LookupPerfNameByIndex(std::uint32_t index, std::string& name)
{
    const std::optional<std::string_view> found = PerfNameByIndex(index);
    if (!found)
        return perf_status::InvalidArgument;
    try {
        name.assign(*found);
        return perf_status::Ok;
    } catch (const std::bad_alloc&) {
        return perf_status::NoMemory;
    }
}

PerfStatus LinuxPerfDataSource::EnumObjects(std::vector<std::string>& objects, std::string_view computer)
{
    try {
        objects.clear();
        if (IsRemoteComputer(computer, hostName_)) {
            return remote_->WithPage(computer, [&](const ExpositionPage& page) {
                if (IsServicePage(page)) {
                    ListServiceObjects(page, objects);
                    return perf_status::Ok;
                }
                for (const ObjectFamily* family : ObjectCatalog())
                    objects.emplace_back(family->name);
                return perf_status::Ok;
            });
        }
        for (const ObjectFamily* family : ObjectCatalog())
            objects.emplace_back(family->name);
        return perf_status::Ok;
    } catch (const std::bad_alloc&) {
        return perf_status::NoMemory;
    }
}

bool LinuxPerfDataSource::IsLoopbackInterface(std::string_view instance)
{
    try {
        std::lock_guard lock(mutex_);
        return snapshot_->Net().IsLoopback(instance);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace quel
