#pragma once
// RemoteComputers: the remote computers a provider reads, each a metrics endpoint scraped once
// per collection on a thread of its own, all at the same time. A collection waits for the
// scrapes at most `wait`; a computer that has not answered by then (or failed) fails its
// counters for that collection, and its rate counters start afresh once it answers again.
// The HTTP client is a module loaded at the first remote computer.

#include "platform/exposition_page.h"
#include "platform/perf_data_source.h"
#include "platform/remote_fetcher.h"
#include "platform/remote_host.h"
#include "platform/system_snapshot.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

namespace quel {

struct RemoteOptions {
    // Connecting and reading one page together.
    std::chrono::milliseconds deadline{2000};
    // How long a collection waits for its scrapes.
    std::chrono::milliseconds wait{900};
    // Monotonic nanoseconds; empty: std::chrono::steady_clock.
    std::function<std::int64_t()> clock;
    // Told once when remote computers cannot be read at all; empty: a line on stderr.
    std::function<void(const std::string&)> notice;
};

// What a collection knows of one remote computer. Used under the provider's lock.
struct RemoteMachine {
    std::string computer;
    PerfStatus status = perf_status::Ok;  // not Ok: the computer cannot be read at all
    RemoteHost* host = nullptr;
    std::unique_ptr<ExpositionPage> page = std::make_unique<ExpositionPage>();
    SystemSnapshot snapshot;
    bool answered = false;  // this collection has a page
    bool service = false;   // the page is our service's
    std::uint64_t epoch = 0;  // grows each time the computer fails to answer
    std::string error;

    explicit RemoteMachine(std::string name);
};

class RemoteComputers {
public:
    explicit RemoteComputers(RemoteOptions options);
    ~RemoteComputers();
    RemoteComputers(const RemoteComputers&) = delete;
    RemoteComputers& operator=(const RemoteComputers&) = delete;

    // The machine of a computer part, made on first use; it lives as long as this object.
    RemoteMachine& Machine(std::string_view computer);
    // Scrapes these machines at once and waits for them (at most the wait of the options).
    // Touches nothing a machine's user reads, so it runs without the provider's lock.
    static void Scrape(std::span<RemoteMachine* const> machines, std::chrono::milliseconds wait);
    std::chrono::milliseconds Wait() const { return options_.wait; }
    // Gives each machine the page its scrape brought, or marks its failure.
    void Take(std::span<RemoteMachine* const> machines);
    // Fetches the computer's page now and hands it to use (an enumeration); a page fetched a
    // moment ago is used again, so that asking for sizes and then for names costs one scrape.
    PerfStatus WithPage(std::string_view computer, const std::function<PerfStatus(const ExpositionPage&)>& use);
    bool ModuleLoaded() const;

private:
    bool LoadModule();
    void Feed(RemoteMachine& machine);

    RemoteOptions options_;
    mutable std::mutex mutex_;
    RemoteFetcher fetcher_;
    bool loadTried_ = false;
    std::map<std::string, std::unique_ptr<RemoteHost>, std::less<>> hosts_;
    std::map<std::string, std::unique_ptr<RemoteMachine>, std::less<>> machines_;

    std::mutex fetchMutex_;  // one enumeration fetch at a time; guards the cache
    std::string cachedComputer_;
    std::int64_t cachedNs_ = 0;
    ExpositionPage cachedPage_;
};

} // namespace quel
