#include "platform/remote_computers.h"

#include "platform/computer_address.h"
#include "platform/node_exporter_feed.h"
#include "platform/service_page.h"
#include "platform/text_scan.h"

#include <cstdio>

namespace quel {
namespace {

constexpr std::int64_t EnumerationReuseNs = 5'000'000'000;

std::string Key(std::string_view computer)
{
    std::string key(computer);
    for (char& c : key)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return key;
}

} // namespace

RemoteMachine::RemoteMachine(std::string name) : computer(std::move(name)), snapshot(FedSnapshotOptions()) {}

RemoteComputers::RemoteComputers(RemoteOptions options) : options_(std::move(options))
{
    if (!options_.clock)
        options_.clock = SteadyNanoseconds;
    if (!options_.notice)
        options_.notice = [](const std::string& text) { std::fprintf(stderr, "Quellarimond: %s\n", text.c_str()); };
}

// The hosts stop (and join their threads) before the module they call goes.
RemoteComputers::~RemoteComputers()
{
    machines_.clear();
    hosts_.clear();
}

bool RemoteComputers::LoadModule()
{
    if (fetcher_.Loaded())
        return true;
    if (loadTried_)
        return false;
    loadTried_ = true;
    std::string error;
    if (fetcher_.Load(error))
        return true;
    options_.notice("remote computers cannot be read: " + error);
    return false;
}

bool RemoteComputers::ModuleLoaded() const
{
    std::lock_guard lock(mutex_);
    return fetcher_.Loaded();
}

RemoteMachine& RemoteComputers::Machine(std::string_view computer)
{
    std::lock_guard lock(mutex_);
    const std::string key = Key(computer);
    const auto found = machines_.find(key);
    if (found != machines_.end())
        return *found->second;
    auto machine = std::make_unique<RemoteMachine>(std::string(computer));
    ComputerAddress address;
    if (!ParseComputerAddress(computer, address)) {
        machine->status = perf_status::BadPath;
    } else if (!LoadModule()) {
        machine->status = perf_status::RemoteUnavailable;
    } else {
        const std::string url = MetricsUrl(address);
        auto& host = hosts_[url];
        if (!host)
            host = std::make_unique<RemoteHost>(url, fetcher_, options_.deadline, options_.clock);
        machine->host = host.get();
    }
    return *machines_.emplace(key, std::move(machine)).first->second;
}

void RemoteComputers::Scrape(std::span<RemoteMachine* const> machines, std::chrono::milliseconds wait)
{
    for (RemoteMachine* machine : machines) {
        if (machine->host)
            machine->host->Request();
    }
    const auto until = std::chrono::steady_clock::now() + wait;
    for (RemoteMachine* machine : machines) {
        if (machine->host)
            machine->host->WaitUntil(until);
    }
}

void RemoteComputers::Take(std::span<RemoteMachine* const> machines)
{
    for (RemoteMachine* machine : machines)
        Feed(*machine);
}

void RemoteComputers::Feed(RemoteMachine& machine)
{
    machine.answered = false;
    if (!machine.host)
        return;
    std::int64_t timeNs = 0;
    const RemoteHost::Outcome outcome = machine.host->Take(machine.page, timeNs, machine.error);
    if (outcome != RemoteHost::Outcome::Page) {
        if (outcome == RemoteHost::Outcome::Pending)
            machine.error = "no answer within " + std::to_string(options_.wait.count()) + " ms";
        ++machine.epoch;
        NodeExporterFeed::Fail(options_.clock(), machine.snapshot);
        return;
    }
    machine.answered = true;
    machine.error.clear();
    machine.service = IsServicePage(*machine.page);
    if (!machine.service)
        NodeExporterFeed::Apply(*machine.page, timeNs, machine.snapshot);
}

PerfStatus RemoteComputers::WithPage(std::string_view computer,
                                     const std::function<PerfStatus(const ExpositionPage&)>& use)
{
    ComputerAddress address;
    if (!ParseComputerAddress(computer, address))
        return perf_status::BadPath;
    {
        std::lock_guard lock(mutex_);
        if (!LoadModule())
            return perf_status::RemoteUnavailable;
    }
    std::lock_guard lock(fetchMutex_);
    const std::int64_t now = options_.clock();
    const std::string key = Key(computer);
    if (cachedComputer_ == key && now - cachedNs_ < EnumerationReuseNs)
        return use(cachedPage_);
    cachedComputer_.clear();
    void* session = fetcher_.OpenSession();
    std::string text = cachedPage_.TakeText();
    std::string error;
    const bool ok = fetcher_.Fetch(session, MetricsUrl(address), options_.deadline, text, error);
    fetcher_.CloseSession(session);
    if (!ok)
        return perf_status::NoMachine;
    cachedPage_.Parse(std::move(text));
    cachedComputer_ = key;
    cachedNs_ = now;
    return use(cachedPage_);
}

} // namespace quel
