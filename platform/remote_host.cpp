#include "platform/remote_host.h"

namespace quel {

RemoteHost::RemoteHost(std::string url, const RemoteFetcher& fetcher, std::chrono::milliseconds deadline,
                       std::function<std::int64_t()> clock)
    : url_(std::move(url)), fetcher_(fetcher), deadline_(deadline), clock_(std::move(clock))
{
}

RemoteHost::~RemoteHost()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void RemoteHost::Request()
{
    std::lock_guard lock(mutex_);
    if (!thread_.joinable())
        thread_ = std::thread(&RemoteHost::Run, this);
    if (running_ || requested_)
        return;
    requested_ = true;
    wake_.notify_all();
}

void RemoteHost::WaitUntil(std::chrono::steady_clock::time_point until)
{
    std::unique_lock lock(mutex_);
    done_.wait_until(lock, until, [this] { return !requested_ && !running_; });
}

bool RemoteHost::Busy() const
{
    std::lock_guard lock(mutex_);
    return requested_ || running_;
}

RemoteHost::Outcome RemoteHost::Take(std::unique_ptr<ExpositionPage>& page, std::int64_t& timeNs, std::string& error)
{
    std::lock_guard lock(mutex_);
    if (!finished_)
        return Outcome::Pending;
    finished_ = false;
    if (!ok_) {
        error = error_;
        return Outcome::Failed;
    }
    if (!page)
        page = std::make_unique<ExpositionPage>();
    std::swap(page, ready_);
    timeNs = readyNs_;
    return Outcome::Page;
}

void RemoteHost::Run()
{
    void* session = fetcher_.OpenSession();
    auto work = std::make_unique<ExpositionPage>();
    std::string error;
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return requested_ || stop_; });
        if (stop_)
            break;
        requested_ = false;
        running_ = true;
        lock.unlock();

        std::string text = work->TakeText();
        bool ok = session != nullptr && fetcher_.Fetch(session, url_, deadline_, text, error);
        if (session == nullptr)
            error = "no HTTP session";
        if (ok)
            work->Parse(std::move(text));
        const std::int64_t now = clock_();

        lock.lock();
        running_ = false;
        finished_ = true;
        ok_ = ok;
        error_ = error;
        if (ok) {
            std::swap(work, ready_);
            readyNs_ = now;
        }
        done_.notify_all();
    }
    lock.unlock();
    fetcher_.CloseSession(session);
}

} // namespace quel
