// A CounterMonitor sampling this machine with the default standard set: the cost of one whole
// sample (collection, statistics, the three series, no log) on the sampling thread, and the
// heap allocations per sample once sampling runs (counted with a replaced operator new).
// The clock's sleeps only yield, so the thread samples as fast as it can.
//
//   build/bench/monitor_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "bench/monitor_setup.h"
#include "engine/counter_monitor.h"
#include "platform/linux_perf_data_source.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

namespace {

using quel::bench::SampleCounter;

std::atomic<std::uint64_t> allocations {0};

void* Allocate(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

// Time moves by the sleeps of the sampling thread only; a sleep just yields.
class YieldingClock final : public quel::Clock {
public:
    std::uint32_t TickCount() override { return now_.load(); }
    void Sleep(std::uint32_t milliseconds) override
    {
        now_ += milliseconds;
        std::this_thread::yield();
    }
    std::time_t Now() override { return std::time(nullptr); }

private:
    std::atomic<std::uint32_t> now_ {1'000'000};
};

void WaitForSamples(const SampleCounter& counter, std::uint64_t target)
{
    while (counter.samples.load(std::memory_order_acquire) < target)
        std::this_thread::yield();
}

void BM_MonitorSample(benchmark::State& state)
{
    quel::LinuxPerfDataSource source;
    YieldingClock clock;
    quel::MonitorEnvironment environment;
    environment.source = &source;
    environment.clock = &clock;
    quel::CounterMonitor monitor(environment);
    quel::bench::UseDefaultSetEverySecond(monitor);

    SampleCounter counter;
    monitor.StartSampling(&counter, false);
    WaitForSamples(counter, 3);  // past the first samples, which set up the provider's state

    std::uint64_t samplesBefore = counter.samples.load();
    const std::uint64_t allocationsBefore = allocations.load();
    for (auto _ : state)
        WaitForSamples(counter, ++samplesBefore);
    const std::uint64_t allocated = allocations.load() - allocationsBefore;
    monitor.StopSampling();

    state.counters["axes"] = monitor.GetAxisCount();
    state.counters["allocations/sample"] =
        benchmark::Counter(static_cast<double>(allocated) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_MonitorSample)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

BENCHMARK_MAIN();
