#pragma once
// What the two monitor benchmarks share: a repaint target that counts the samples, and a monitor
// set to the default standard set sampled every second without a log.

#include "engine/counter_monitor.h"

#include <atomic>
#include <cstdint>

namespace quel::bench {

class SampleCounter final : public RepaintTarget {
public:
    void Invalidate() override { samples.fetch_add(1, std::memory_order_release); }
    std::atomic<std::uint64_t> samples {0};
};

inline void UseDefaultSetEverySecond(CounterMonitor& monitor)
{
    monitor.SetUpDefaultProfile();
    MonitorSettings settings = monitor.GetSettings();
    settings.Interval = 1;
    settings.LogMode = 0;
    monitor.ApplySettings(settings);
}

} // namespace quel::bench
