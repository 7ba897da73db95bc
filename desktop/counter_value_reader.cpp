#include "desktop/counter_value_reader.h"

#include <chrono>

namespace quel::desktop {

namespace {

constexpr auto ReadPeriod = std::chrono::seconds(1);

} // namespace

CounterValueReader::CounterValueReader(PerfDataSource& source, Report report)
    : source_(source), report_(std::move(report))
{
}

CounterValueReader::~CounterValueReader()
{
    Stop();
}

std::uint64_t CounterValueReader::Watch(const std::string& path)
{
    std::lock_guard guard(lock_);
    path_ = path;
    ++generation_;
    if (!thread_.joinable() && !stop_)
        thread_ = std::thread(&CounterValueReader::Run, this);
    wake_.notify_all();
    return generation_;
}

void CounterValueReader::Stop()
{
    {
        std::lock_guard guard(lock_);
        stop_ = true;
        wake_.notify_all();
    }
    if (thread_.joinable())
        thread_.join();
}

void CounterValueReader::Run()
{
    PerfQueryHandle query = nullptr;
    PerfCounterHandle counter = nullptr;
    std::uint64_t current = 0;
    std::unique_lock guard(lock_);
    while (!stop_) {
        if (current != generation_) {
            current = generation_;
            const std::string path = path_;
            guard.unlock();
            Reopen(path, query, counter);
            guard.lock();
            continue;  // the path may have changed again meanwhile
        }
        if (query != nullptr) {
            guard.unlock();
            source_.CollectQueryData(query);
            double value = 0.0;
            const PerfStatus status = source_.GetFormattedCounterValue(counter, value);
            report_(current, status, value);
            guard.lock();
        }
        wake_.wait_for(guard, ReadPeriod, [&] { return stop_ || current != generation_; });
    }
    guard.unlock();
    if (query != nullptr)
        source_.CloseQuery(query);
}

void CounterValueReader::Reopen(const std::string& path, PerfQueryHandle& query, PerfCounterHandle& counter)
{
    if (query != nullptr)
        source_.CloseQuery(query);
    query = nullptr;
    counter = nullptr;
    if (path.empty() || source_.OpenQuery(query) != perf_status::Ok) {
        query = nullptr;
        return;
    }
    source_.AddCounter(query, path, counter);
    if (counter == nullptr) {
        source_.CloseQuery(query);
        query = nullptr;
    }
}

} // namespace quel::desktop
