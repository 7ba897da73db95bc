#pragma once
// MonitorSnapshot: one finished sample of a monitor and what describes its axes, copied out
// under the monitor lock, for readers on other threads (the metrics listener) that must never
// see a sample half-written.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace quel {

struct AxisSnapshot {
    std::string name;
    std::string path;          // the counter path as the profile holds it
    double minValue = 0.0;     // bounds in the axis's scaled units
    double maxValue = 0.0;
    double criticalValue = 0.0;
    double multiplier = 1.0;
    bool inverse = false;
    // Raw values (before scaling) of the last finished sample; current only when hasCurrent.
    double current = 0.0;
    double average = 0.0;
    double maximum = 0.0;
    bool hasCurrent = false;   // the last read succeeded
    bool critical = false;     // the current value is at or above the critical value
};

struct MonitorSnapshot {
    std::vector<AxisSnapshot> axes;
    // Totals over the monitor's life: finished samples, and reads that failed in them.
    std::uint64_t samplesTotal = 0;
    std::uint64_t failedReadsTotal = 0;
    std::time_t lastSampleTime = 0;  // wall-clock time of the last finished sample; 0 before
    bool hasSample = false;          // axes carry values: statistics run and a sample finished
};

} // namespace quel
