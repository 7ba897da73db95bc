// Cost of the hardware sensors in a collection: the default standard set alone and with eight
// sensor counters (hwmon temperatures, a thermal zone, a fan, RAPL and hwmon power, a battery),
// and the eight alone, on this machine's /proc with the sysfs tree of the laptop fixture
// (tests/fixtures/machine-4cpu), since a build machine rarely has sensors.
//
//   build/bench/sensor_bench --benchmark_min_time=2

#include "bench/timed_collections.h"
#include "platform/linux_perf_data_source.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace quel {
namespace {

std::vector<std::string> StandardSet(PerfDataSource& source)
{
    std::size_t countersLength = 0;
    std::size_t instancesLength = 0;
    source.EnumObjectItems("Processor", nullptr, countersLength, nullptr, instancesLength);
    std::vector<char> counters(countersLength);
    std::vector<char> instances(instancesLength);
    std::vector<std::string> paths;
    if (source.EnumObjectItems("Processor", counters.data(), countersLength, instances.data(), instancesLength)
        == perf_status::Ok) {
        for (const char* name = instances.data(); *name != '\0'; name += std::string_view(name).size() + 1) {
            if (std::string_view(name) != "_Total")
                paths.push_back("\\Processor(" + std::string(name) + ")\\% Processor Time");
        }
    }
    for (const char* path : {"\\Objects\\Processes", "\\Objects\\Threads", "\\Memory\\% Committed Bytes In Use",
                             "\\Paging File(_Total)\\% Usage", "\\LogicalDisk(_Total)\\% Free Space",
                             "\\PhysicalDisk(_Total)\\% Disk Time"})
        paths.emplace_back(path);
    return paths;
}

void Sample(benchmark::State& state, bool standard, bool sensors)
{
    LinuxPerfDataSourceOptions options;
    options.procRoot = "/proc";
    options.sysRoot = std::string(QUEL_FIXTURES_DIR) + "/machine-4cpu/sys";
    LinuxPerfDataSource source(options);
    PerfQueryHandle query = nullptr;
    if (source.OpenQuery(query) != perf_status::Ok) {
        state.SkipWithError("cannot open a query");
        return;
    }
    std::vector<std::string> paths = standard ? StandardSet(source) : std::vector<std::string>();
    if (sensors) {
        for (const char* path : {"\\Thermal Zone Information(acpitz)\\Temperature",
                                 "\\Thermal Zone Information(coretemp Package id 0)\\Temperature",
                                 "\\Thermal Zone Information(coretemp Package id 0)\\Critical Temperature",
                                 "\\Thermal Zone Information(nvme Composite)\\Temperature",
                                 "\\Fan(thinkpad fan1)\\Speed", "\\Power Meter(package-0)\\Power",
                                 "\\Power Meter(amdgpu power1)\\Power", "\\Battery(BAT0)\\Charge Rate"})
            paths.emplace_back(path);
    }
    TimeCollections(state, source, query, paths);
    source.CloseQuery(query);
}

void StandardSetAlone(benchmark::State& state)
{
    Sample(state, true, false);
}

void StandardSetWithEightSensors(benchmark::State& state)
{
    Sample(state, true, true);
}

// The sensors on their own: no statvfs thread to wait for, so the figure is theirs alone.
void EightSensorsAlone(benchmark::State& state)
{
    Sample(state, false, true);
}

BENCHMARK(StandardSetAlone)->Unit(benchmark::kMicrosecond);
BENCHMARK(StandardSetWithEightSensors)->Unit(benchmark::kMicrosecond);
BENCHMARK(EightSensorsAlone)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace quel

BENCHMARK_MAIN();
