#pragma once
// RemoteHost: one remote computer's metrics endpoint, fetched and parsed on a thread of its own
// so that the sampling thread only ever waits as long as it chooses to. Each Request starts one
// scrape (unless one is still running); Take hands over the page that came since the last Take.

#include "platform/exposition_page.h"
#include "platform/remote_fetcher.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace quel {

class RemoteHost {
public:
    // fetcher must be loaded and outlive the host; clock gives the page's monotonic time.
    RemoteHost(std::string url, const RemoteFetcher& fetcher, std::chrono::milliseconds deadline,
               std::function<std::int64_t()> clock);
    // Stops the thread and joins it: a scrape in flight ends within its deadline.
    ~RemoteHost();
    RemoteHost(const RemoteHost&) = delete;
    RemoteHost& operator=(const RemoteHost&) = delete;

    const std::string& Url() const { return url_; }
    // Starts a scrape unless one is running (the thread starts on the first call).
    void Request();
    // Waits until no scrape is running or until `until`.
    void WaitUntil(std::chrono::steady_clock::time_point until);
    bool Busy() const;

    enum class Outcome { Page, Failed, Pending };
    // The page fetched since the last Take, swapped into page, with the time it arrived; Failed
    // (with the reason) when that scrape failed; Pending when none has finished since.
    Outcome Take(std::unique_ptr<ExpositionPage>& page, std::int64_t& timeNs, std::string& error);

private:
    void Run();

    const std::string url_;
    const RemoteFetcher& fetcher_;
    const std::chrono::milliseconds deadline_;
    const std::function<std::int64_t()> clock_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    bool requested_ = false;
    bool running_ = false;
    bool stop_ = false;
    bool finished_ = false;  // a scrape ended since the last Take
    bool ok_ = false;
    std::string error_;
    std::int64_t readyNs_ = 0;
    std::unique_ptr<ExpositionPage> ready_ = std::make_unique<ExpositionPage>();
    std::thread thread_;
};

} // namespace quel
