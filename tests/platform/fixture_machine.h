#pragma once
// Test support for the Linux provider: a fixture machine copied to a temporary folder, a clock
// the test moves by hand, statvfs answers from a table, and a provider wired to all three.

#include "platform/linux_perf_data_source.h"
#include "tests/support/temp_folder.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace quel::test {

// A copy of tests/fixtures/NAME (its proc and sys trees) that the test may rewrite.
class FixtureMachine {
public:
    explicit FixtureMachine(std::string_view name);

    std::string ProcRoot() const { return (root_ / "proc").string(); }
    std::string SysRoot() const { return (root_ / "sys").string(); }
    // Rewrites a file in place, as the kernel regenerates a file the provider keeps open.
    // relative starts with "proc/" or "sys/".
    void Write(std::string_view relative, std::string_view content) const;
    void Remove(std::string_view relative) const;

private:
    TempFolder root_;
};

class ManualClock {
public:
    void Advance(double seconds) { nanoseconds_ += static_cast<std::int64_t>(seconds * 1e9); }
    std::function<std::int64_t()> Function()
    {
        return [this] { return nanoseconds_.load(); };
    }

private:
    std::atomic<std::int64_t> nanoseconds_{1'000'000'000};
};

// statvfs answers by mount point; a mount point without an answer fails. A mount point can be
// made to hang until Release.
class FakeVolumes {
public:
    void Set(const std::string& mountPoint, VolumeSpace space);
    void Hang(const std::string& mountPoint);
    void Release();
    VolumeStatFunction Function();

private:
    bool Stat(const char* mountPoint, VolumeSpace& space);

    std::mutex mutex_;
    std::condition_variable released_;
    std::map<std::string, VolumeSpace> spaces_;
    std::set<std::string> hanging_;
};

struct Reading {
    PerfStatus status;
    double value;
};

// A provider reading a fixture machine through a manual clock and fake volumes, with helpers to
// add counters to one query and read them.
class FixtureProvider {
public:
    explicit FixtureProvider(std::string_view machine, std::chrono::milliseconds volumeWait = std::chrono::seconds(30));
    ~FixtureProvider();

    PerfCounterHandle Add(std::string_view path);
    PerfStatus Collect();
    // Advances the clock, then collects.
    PerfStatus CollectAfter(double seconds);
    Reading Read(PerfCounterHandle counter);
    std::vector<std::string> Instances(std::string_view object);
    std::vector<std::string> Counters(std::string_view object);

    FixtureMachine machine;
    ManualClock clock;
    FakeVolumes volumes;
    LinuxPerfDataSource source;
    PerfQueryHandle query = nullptr;
};

// Splits a list of NUL-terminated names ended by an empty name.
std::vector<std::string> SplitNameList(const char* list);

// The fields of a /proc/diskstats line that counters read.
struct DiskCounts {
    std::uint64_t reads = 0, sectorsRead = 0, readMs = 0;
    std::uint64_t writes = 0, sectorsWritten = 0, writeMs = 0;
    std::uint64_t inFlight = 0, ioTicks = 0, weightedMs = 0;
};
// A /proc/diskstats line as kernel 5.5+ prints it: merges, discards and flushes are 0.
std::string DiskStatsLine(unsigned major, unsigned minor, std::string_view name, const DiskCounts& counts);

} // namespace quel::test
