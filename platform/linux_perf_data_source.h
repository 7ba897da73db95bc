#pragma once
// LinuxPerfDataSource: the performance data provider of this machine, reading procfs and sysfs.
// The objects, counters and formulas are those of the object families (processor_counters.h
// and its siblings). Every operation is safe to call from any thread.

#include "platform/perf_data_source.h"
#include "platform/remote_computers.h"
#include "platform/volume_space_probe.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quel {

class SystemSnapshot;

struct LinuxPerfDataSourceOptions {
    // Roots of procfs and sysfs; empty: $QUELLARIMOND_PROCFS and $QUELLARIMOND_SYSFS, else
    // /proc and /sys.
    std::string procRoot;
    std::string sysRoot;
    // Monotonic nanoseconds for the rates; empty: std::chrono::steady_clock.
    std::function<std::int64_t()> clock;
    // statvfs of a mount point; empty: the real one.
    VolumeStatFunction volumeStat;
    // How long a collection waits for fresh statvfs answers before using the latest ones.
    std::chrono::milliseconds volumeProbeWait{20};
    // This machine's name in counter paths; empty: gethostname().
    std::string hostName;
    // NVIDIA's management library; empty: $QUELLARIMOND_NVML_LIBRARY, else libnvidia-ml.so.1.
    std::string nvmlLibrary;
    // Told once when a driver's library cannot be loaded; empty: a line on stderr.
    std::function<void(const std::string&)> notice;
    // How remote computers are read.
    RemoteOptions remote;
};

class LinuxPerfDataSource final : public PerfDataSource {
public:
    LinuxPerfDataSource();
    LinuxPerfDataSource(std::string procRoot, std::string sysRoot);
    explicit LinuxPerfDataSource(LinuxPerfDataSourceOptions options);
    ~LinuxPerfDataSource() override;
    LinuxPerfDataSource(const LinuxPerfDataSource&) = delete;
    LinuxPerfDataSource& operator=(const LinuxPerfDataSource&) = delete;

    PerfStatus OpenQuery(PerfQueryHandle& query) override;
    PerfStatus AddCounter(PerfQueryHandle query, std::string_view path, PerfCounterHandle& counter) override;
    PerfStatus CollectQueryData(PerfQueryHandle query) override;
    PerfStatus GetFormattedCounterValue(PerfCounterHandle counter, double& value) override;
    PerfStatus RemoveCounter(PerfCounterHandle counter) override;
    PerfStatus CloseQuery(PerfQueryHandle query) override;
    PerfStatus EnumObjectItems(std::string_view object, char* counters, std::size_t& countersLength, char* instances,
                               std::size_t& instancesLength, std::string_view computer = {}) override;
    PerfStatus LookupPerfNameByIndex(std::uint32_t index, std::string& name) override;
    PerfStatus EnumObjects(std::vector<std::string>& objects, std::string_view computer = {}) override;
    // The interface whose sysfs type is ARPHRD_LOOPBACK (772), whatever its name.
    bool IsLoopbackInterface(std::string_view instance) override;
    // Whether the path's counter is read from another computer's metrics endpoint (through the
    // HTTP module) rather than from this machine.
    bool ReadsOverHttp(std::string_view path) const;

private:
    struct Query;
    struct Counter;

    Query* FindQuery(PerfQueryHandle handle) const;
    Counter* FindCounter(PerfCounterHandle handle) const;
    PerfStatus Resolve(std::string_view path, Counter& counter) const;
    PerfStatus ResolveRemote(std::string_view path, Counter& counter) const;
    static void UpdateSources(Query& query);
    static void SampleRemote(Counter& counter);
    PerfStatus ListObjectItems(std::string_view object, char* counters, std::size_t& countersLength, char* instances,
                               std::size_t& instancesLength);
    PerfStatus ListRemoteObjectItems(std::string_view computer, std::string_view object, char* counters,
                                     std::size_t& countersLength, char* instances, std::size_t& instancesLength);

    std::mutex mutex_;
    std::string hostName_;
    std::unique_ptr<SystemSnapshot> snapshot_;
    // Remote computers; nothing is loaded or started until the first remote counter.
    std::unique_ptr<RemoteComputers> remote_;
    std::vector<std::unique_ptr<Query>> queries_;
    std::vector<Counter*> counters_;  // every live counter, sorted, to check handles
};

} // namespace quel
