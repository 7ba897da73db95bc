// A simulated day: the standard counter set of a fixture machine sampled every second, 100,000
// times, on a clock that moves only when the sampling thread sleeps, with every sample logged
// and the log rotating. After warm-up the sampling thread allocates nothing, and the process's
// open file descriptors do not grow.

#include "engine/counter_monitor.h"
#include "tests/engine/fake_clock.h"
#include "tests/platform/fixture_machine.h"
#include "tests/support/temp_folder.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>

namespace {

// Heap allocations made by the calling thread, counted by this binary's operator new.
thread_local long threadAllocations = 0;

void* Allocate(std::size_t size)
{
    ++threadAllocations;
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    ++threadAllocations;
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace quel::test {
namespace {

constexpr int WarmUpSamples = 2'000;
constexpr int Samples = 100'000;

// Sleeps cost no real time: the simulated day runs as fast as the work allows.
class DayClock final : public Clock {
public:
    std::uint32_t TickCount() override { return ticks_.load(); }
    void Sleep(std::uint32_t milliseconds) override { ticks_ += milliseconds; }
    std::time_t Now() override { return 1'700'000'000 + ticks_.load() / 1000; }
    std::int64_t Nanoseconds() const { return static_cast<std::int64_t>(ticks_.load()) * 1'000'000; }

private:
    std::atomic<std::uint32_t> ticks_ {1'000};
};

// Told of every sample on the sampling thread; notes that thread's allocations at the end of
// warm-up and at the last counted sample.
class SampleCounter final : public RepaintTarget {
public:
    void Invalidate() override
    {
        const int sample = ++samples;
        if (sample == WarmUpSamples)
            allocationsAtWarmUp = threadAllocations;
        if (sample == Samples)
            allocationsAtEnd = threadAllocations;
    }
    std::atomic<int> samples {0};
    std::atomic<long> allocationsAtWarmUp {-1};
    std::atomic<long> allocationsAtEnd {-1};
};

int OpenDescriptors()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

int FilesIn(const std::filesystem::path& folder)
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

TEST(SoakTest, ADayOfSamplesAllocatesNothingAndKeepsItsDescriptors)
{
    FixtureMachine machine {"machine-4cpu"};
    FakeVolumes volumes;
    volumes.Set("/", VolumeSpace {1000, 400, 300, 4096});
    volumes.Set("/home", VolumeSpace {2000, 1000, 1000, 4096});
    DayClock clock;
    LinuxPerfDataSourceOptions options;
    options.procRoot = machine.ProcRoot();
    options.sysRoot = machine.SysRoot();
    options.volumeStat = volumes.Function();
    options.clock = [&clock] { return clock.Nanoseconds(); };
    LinuxPerfDataSource source(options);

    MonitorEnvironment environment;
    environment.source = &source;
    environment.clock = &clock;
    CounterMonitor monitor(environment);
    monitor.SetUpDefaultProfile();
    MonitorSettings settings = monitor.GetSettings();
    settings.Interval = 1;
    settings.LogMode = 1;   // a row for every sample
    settings.LogFormat = 0;
    settings.LogFileSize = 64;
    monitor.ApplySettings(settings);
    TempFolder folder;
    monitor.SetLogLocation((folder.Path() / "Soak.qlmd").string(), false);

    SampleCounter counter;
    ASSERT_TRUE(monitor.StartSampling(&counter, false));
    ASSERT_TRUE(WaitFor([&] { return counter.samples >= WarmUpSamples; }, 600'000));
    const int descriptorsAtWarmUp = OpenDescriptors();
    ASSERT_TRUE(WaitFor([&] { return counter.samples >= Samples; }, 3'600'000));
    const int descriptorsAtEnd = OpenDescriptors();
    ASSERT_TRUE(WaitFor([&] { return monitor.StopSampling(); }));

    EXPECT_EQ(counter.allocationsAtEnd - counter.allocationsAtWarmUp, 0)
        << "heap allocations of the sampling thread over " << Samples - WarmUpSamples << " samples";
    EXPECT_EQ(descriptorsAtEnd, descriptorsAtWarmUp);
    // The log rotated many times and is still one current log and one backup, beside its lock.
    const std::string log = ReadFile(folder.Path() / "Logs" / "Soak-log.html");
    EXPECT_NE(log.find("Backup Log"), std::string::npos);
    EXPECT_EQ(FilesIn(folder.Path() / "Logs"), 3);
}

} // namespace
} // namespace quel::test
