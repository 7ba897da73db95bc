#pragma once
// A PerfDataSource whose values are scripted per collection, for engine tests.

#include "platform/clock.h"
#include "platform/perf_data_source.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quel::test {

class ScriptedSource : public PerfDataSource {
public:
    struct Reading {
        PerfStatus status = perf_status::Ok;
        double value = 0.0;
    };
    static Reading Fail() { return {perf_status::NoData, 0.0}; }

    explicit ScriptedSource(Clock* clock = nullptr);
    ~ScriptedSource() override;

    // The reading of a path at collection k (0 = the priming one); the last one repeats.
    // Unscripted paths fail with NoCounter.
    void Script(const std::string& path, std::vector<Reading> readings);
    void ScriptValues(const std::string& path, const std::vector<double>& values);
    void SetInstances(const std::string& object, std::vector<std::string> instances);
    void SetName(std::uint32_t index, const std::string& name);
    void FailOpenQuery(bool fail);
    void SetLoopback(const std::string& instance);

    // The collection with this index (0-based, per query) waits until Resume() or until the
    // pause moves to another index.
    void PauseAtCollection(int index);
    bool WaitUntilPaused(int timeoutMs = 10000);
    void Resume();

    int Collections() const;
    std::vector<std::uint32_t> CollectionTicks() const;
    int OpenCounters() const;
    int OpenQueries() const;

    PerfStatus OpenQuery(PerfQueryHandle& query) override;
    PerfStatus AddCounter(PerfQueryHandle query, std::string_view path, PerfCounterHandle& counter) override;
    PerfStatus CollectQueryData(PerfQueryHandle query) override;
    PerfStatus GetFormattedCounterValue(PerfCounterHandle counter, double& value) override;
    PerfStatus RemoveCounter(PerfCounterHandle counter) override;
    PerfStatus CloseQuery(PerfQueryHandle query) override;
    PerfStatus EnumObjectItems(std::string_view object, char* counters, std::size_t& countersLength,
                               char* instances, std::size_t& instancesLength, std::string_view computer = {}) override;
    PerfStatus LookupPerfNameByIndex(std::uint32_t index, std::string& name) override;
    PerfStatus EnumObjects(std::vector<std::string>& objects, std::string_view computer = {}) override;
    bool IsLoopbackInterface(std::string_view instance) override;

private:
    struct Query {
        int collections = 0;
    };
    struct Counter {
        Query* query = nullptr;
        std::string path;
    };

    Clock* clock_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::map<std::string, std::vector<Reading>> scripts_;
    std::map<std::string, std::vector<std::string>> instances_;
    std::map<std::uint32_t, std::string> names_;
    std::vector<std::unique_ptr<Query>> queries_;
    std::vector<std::unique_ptr<Counter>> counters_;
    std::vector<std::uint32_t> ticks_;
    std::string loopback_;
    bool failOpen_ = false;
    int pauseAt_ = -1;
    int pausedAt_ = -1;
};

} // namespace quel::test
