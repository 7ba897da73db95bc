#pragma once
// CounterValueReader: reads one counter once a second through a query of its own, on a thread
// of its own, so that a slow read (a remote computer) never blocks the window that shows it.

#include "platform/perf_data_source.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace quel::desktop {

class CounterValueReader {
public:
    // report runs on the reader's thread with the generation of the path, the read's status and
    // the value (valid when the status is 0).
    using Report = std::function<void(std::uint64_t generation, PerfStatus status, double value)>;

    CounterValueReader(PerfDataSource& source, Report report);
    // Stops and joins the thread (after a read in progress has ended).
    ~CounterValueReader();
    CounterValueReader(const CounterValueReader&) = delete;
    CounterValueReader& operator=(const CounterValueReader&) = delete;

    // Reads path from now on, at once and then every second; an empty path reads nothing.
    // Returns the generation that the reports of this path carry.
    std::uint64_t Watch(const std::string& path);
    void Stop();

private:
    void Run();
    void Reopen(const std::string& path, PerfQueryHandle& query, PerfCounterHandle& counter);

    PerfDataSource& source_;
    Report report_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::string path_;
    std::uint64_t generation_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace quel::desktop
