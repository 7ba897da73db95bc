// Saving and loading a 32-axis profile through the counter monitor: the whole file written to
// a temporary file and renamed over the old one, and read back into an emptied monitor.
//
//   build/bench/profile_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "engine/counter_monitor.h"
#include "platform/linux_perf_data_source.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct ProfileFixture {
    quel::LinuxPerfDataSource source;
    std::unique_ptr<quel::CounterMonitor> monitor;
    fs::path folder = fs::temp_directory_path() / ("quel-profile-bench-" + std::to_string(::getpid()));
    std::string path = (folder / "bench.qlmd").string();

    ProfileFixture()
    {
        fs::create_directories(folder);
        quel::MonitorEnvironment environment;
        environment.source = &source;
        monitor = std::make_unique<quel::CounterMonitor>(environment);
        monitor->SetUpDefaultProfile();
        monitor->RemoveAllAxes();
        quel::MonitorSettings settings = monitor->GetSettings();
        settings.LogMode = 0;  // loading places the log; keep it from writing files
        monitor->ApplySettings(settings);
        for (int i = 0; i < quel::CounterMonitor::AxisSlots; ++i) {
            const std::string path = "\\Processor(" + std::to_string(i) + ")\\% Processor Time";
            monitor->AddAxis("% CPU-" + std::to_string(i + 1), "processor " + std::to_string(i), 0, 0, 100, 80, 1,
                             std::make_unique<quel::CounterPathData>(path));
        }
    }
    ~ProfileFixture() { fs::remove_all(folder); }
};

void BM_SaveProfile(benchmark::State& state)
{
    ProfileFixture fixture;
    for (auto _ : state) {
        if (!fixture.monitor->SaveToFile(fixture.path))
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveProfile)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_LoadProfile(benchmark::State& state)
{
    ProfileFixture fixture;
    fixture.monitor->SaveToFile(fixture.path);
    for (auto _ : state) {
        fixture.monitor->RemoveAllAxes();
        if (!fixture.monitor->LoadFromFile(fixture.path) || fixture.monitor->GetAxisCount() != 32)
            state.SkipWithError("load failed");
    }
}
BENCHMARK(BM_LoadProfile)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
