#include "desktop/object_lister.h"

#include <system_error>

namespace quel::desktop {

ObjectLister::ObjectLister(PerfDataSource& source) : source_(source)
{
}

ObjectLister::~ObjectLister()
{
    {
        std::lock_guard guard(lock_);
        stop_ = true;
        report_ = nullptr;
        wake_.notify_all();
    }
    if (thread_.joinable())
        thread_.join();
}

std::uint64_t ObjectLister::List(const std::string& computer, const std::string& hostName, bool includeCostly,
                                 Report report)
{
    std::lock_guard guard(lock_);
    computer_ = computer;
    hostName_ = hostName;
    includeCostly_ = includeCostly;
    report_ = std::move(report);
    pending_ = true;
    ++generation_;
    if (!thread_.joinable() && !stop_) {
        try {
            thread_ = std::thread(&ObjectLister::Run, this);
        } catch (const std::system_error&) {
            pending_ = false;
            report_ = nullptr;
            return 0;
        }
    }
    wake_.notify_all();
    return generation_;
}

void ObjectLister::Cancel()
{
    std::lock_guard guard(lock_);
    ++generation_;
    pending_ = false;
    report_ = nullptr;
}

void ObjectLister::Run()
{
    std::unique_lock guard(lock_);
    for (;;) {
        wake_.wait(guard, [&] { return stop_ || pending_; });
        if (stop_)
            return;
        pending_ = false;
        const std::uint64_t generation = generation_;
        const std::string computer = computer_;
        const std::string hostName = hostName_;
        const bool includeCostly = includeCostly_;
        guard.unlock();
        std::vector<BrowsedObject> objects;
        const PerfStatus status = ListBrowsedObjects(source_, computer, hostName, includeCostly, objects);
        guard.lock();
        // Reported under the lock, so that Cancel knows no report runs once it returns.
        if (generation == generation_ && report_)
            report_(generation, status, std::move(objects));
    }
}

} // namespace quel::desktop
