#pragma once
// A performance data source whose sampling thread is held in OpenQuery until the test lets it
// go, as a slow remote connection holds it.

#include "platform/perf_data_source.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace quel::desktop::test {

// A source whose sampling thread opens its query only once the test lets it (queries of the
// test's own thread, such as those that build the standard counters, open at once).
class GatedSource final : public PerfDataSource {
public:
    explicit GatedSource(std::unique_ptr<PerfDataSource> inner) : inner_(std::move(inner)) {}
    ~GatedSource() override { Open(); }

    void Open()
    {
        std::lock_guard guard(lock_);
        open_ = true;
        changed_.notify_all();
    }

    PerfStatus OpenQuery(PerfQueryHandle& query) override
    {
        if (std::this_thread::get_id() != owner_) {
            std::unique_lock guard(lock_);
            changed_.wait(guard, [this] { return open_; });
        }
        return inner_->OpenQuery(query);
    }
    PerfStatus AddCounter(PerfQueryHandle query, std::string_view path, PerfCounterHandle& counter) override
    {
        return inner_->AddCounter(query, path, counter);
    }
    PerfStatus CollectQueryData(PerfQueryHandle query) override { return inner_->CollectQueryData(query); }
    PerfStatus GetFormattedCounterValue(PerfCounterHandle counter, double& value) override
    {
        return inner_->GetFormattedCounterValue(counter, value);
    }
    PerfStatus RemoveCounter(PerfCounterHandle counter) override { return inner_->RemoveCounter(counter); }
    PerfStatus CloseQuery(PerfQueryHandle query) override { return inner_->CloseQuery(query); }
    PerfStatus EnumObjectItems(std::string_view object, char* counters, std::size_t& countersLength,
                               char* instances, std::size_t& instancesLength, std::string_view computer = {}) override
    {
        return inner_->EnumObjectItems(object, counters, countersLength, instances, instancesLength, computer);
    }
    PerfStatus LookupPerfNameByIndex(std::uint32_t index, std::string& name) override
    {
        return inner_->LookupPerfNameByIndex(index, name);
    }
    PerfStatus EnumObjects(std::vector<std::string>& objects, std::string_view computer = {}) override
    {
        return inner_->EnumObjects(objects, computer);
    }
    bool IsLoopbackInterface(std::string_view instance) override { return inner_->IsLoopbackInterface(instance); }

private:
    std::unique_ptr<PerfDataSource> inner_;
    const std::thread::id owner_ = std::this_thread::get_id();
    std::mutex lock_;
    std::condition_variable changed_;
    bool open_ = false;
};

} // namespace quel::desktop::test
