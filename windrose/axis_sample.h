#pragma once
// AxisSample: one axis of one sample, computed once on the sampling thread and handed to the
// diagram, the published snapshot and the log, which never read axis properties back.

namespace quel {

struct AxisSample {
    bool read = false;       // the counter gave a value in this sample
    double raw = -1.0;       // the counter's value; -1.0 when the read failed
    double rawAverage = 0.0; // over the History samples
    double rawMaximum = 0.0; // since statistics started or the last reset
    // The three values on the axis's scale (multiplier, inverse); current is scaled from raw
    // even when the read failed, as the log has always compared it.
    double current = 0.0, average = 0.0, maximum = 0.0;
    double criticalValue = 0.0;
    bool critical = false;    // the diagram's rule: current above the critical value
    bool atCritical = false;  // the log's rule: current at or above the critical value
};

// A raw value on its axis's scale: divided by the multiplier and, on an inverse axis, counted
// down from the axis's maximum.
inline double ScaleToAxis(double raw, double multiplier, double maximum, bool inverse)
{
    const double value = raw / multiplier;
    if (inverse)
        return value < maximum ? maximum - value : 0.0;
    return value;
}

// The two meanings of "critical". The diagram draws a value as critical only above the critical
// circle; the log marks cells (and the metrics page and alert rules mark samples) from the
// critical value on. Stored logs and the diagram users know each rely on their own rule.
inline bool DiagramCritical(double scaled, double critical) { return scaled > critical; }
inline bool LogCritical(double scaled, double critical) { return !(critical > scaled); }

} // namespace quel
