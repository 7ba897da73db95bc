#pragma once
// The timed loop of the provider benchmarks: the paths are added to an open query, three
// collections prime the rates, open the files and size the buffers, then each iteration is one
// collection and every read. Reports the number of counters and the failed reads per sample
// (rates over files that do not change read 0 and are fine; a failure means a broken tree).

#include "platform/perf_data_source.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace quel {

inline void TimeCollections(benchmark::State& state, PerfDataSource& source, PerfQueryHandle query,
                            const std::vector<std::string>& paths)
{
    std::vector<PerfCounterHandle> counters(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        source.AddCounter(query, paths[i], counters[i]);
    for (int i = 0; i < 3; ++i)
        source.CollectQueryData(query);
    std::size_t failed = 0;
    for (auto _ : state) {
        source.CollectQueryData(query);
        for (PerfCounterHandle counter : counters) {
            double value = 0.0;
            failed += source.GetFormattedCounterValue(counter, value) != perf_status::Ok;
            benchmark::DoNotOptimize(value);
        }
    }
    state.counters["counters"] = static_cast<double>(paths.size());
    state.counters["failed/sample"] = benchmark::Counter(static_cast<double>(failed), benchmark::Counter::kAvgIterations);
}

} // namespace quel
