#pragma once
// ObjectLister: lists a computer's objects, counters and instances (ListBrowsedObjects) on a
// thread of its own, so that a remote computer, which may take until its deadline to answer,
// never blocks the window that asked. A new request supersedes the one under way: the answer
// of a superseded request is dropped. The thread lives as long as the lister, so a window may
// go while a listing is under way (Cancel) and the lister's owner joins the thread later.

#include "desktop/counter_browser_model.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quel::desktop {

class ObjectLister {
public:
    // Runs on the lister's thread with the generation of the request, the listing's status and
    // the objects, unless the request was superseded or cancelled meanwhile.
    using Report = std::function<void(std::uint64_t generation, PerfStatus status, std::vector<BrowsedObject> objects)>;

    explicit ObjectLister(PerfDataSource& source);
    // Joins the thread, after a listing under way has ended.
    ~ObjectLister();
    ObjectLister(const ObjectLister&) = delete;
    ObjectLister& operator=(const ObjectLister&) = delete;

    // Lists computer (as ListBrowsedObjects does) as soon as the thread is free; returns the
    // generation that the report carries, or 0 when no thread could be started.
    std::uint64_t List(const std::string& computer, const std::string& hostName, bool includeCostly, Report report);
    // Supersedes the request not yet reported: once this returns, no report of it runs. It
    // waits for a report being handed over, never for a listing.
    void Cancel();

private:
    void Run();

    PerfDataSource& source_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::string computer_;
    std::string hostName_;
    bool includeCostly_ = false;
    Report report_;
    std::uint64_t generation_ = 0;
    bool pending_ = false;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace quel::desktop
