#pragma once
// CriticalWatch: which axes turned critical (the diagram's rule) or back to normal, for the
// desktop notifications. The sampling thread records each finished sample (no allocation, one
// short hold of the watch's own lock); the user-interface thread takes what is due.
//
// Per axis it keeps what the user was last told (normal until told otherwise) and the state of
// the latest read. A change is due when the latest state differs from the one told, and the
// axis was not told anything during the last minute (by the clock's tick count). A transition
// inside that minute therefore waits for its end and goes out with the values of the latest
// read; when the axis has returned to the state told by then, nothing goes out. Failed reads
// leave the latest state as it was, so a counter that cannot be read never flaps.

#include "platform/clock.h"
#include "windrose/axis_sample.h"

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace quel {

struct CriticalChange {
    std::string axisName;
    bool critical = false;       // turned critical; false: back to normal
    double value = 0.0;          // the current value on the axis's scale
    double criticalValue = 0.0;
};

class CriticalWatch {
public:
    static constexpr std::uint32_t QuietMilliseconds = 60'000;  // per axis, between two changes told

    explicit CriticalWatch(Clock& clock) : clock_(clock) {}

    // A new set of axes (sampling starts). Axes whose names are those of before, at the same
    // place, keep what they were told and when; the others start as normal, never told.
    void Reset(std::vector<std::string> axisNames);
    // A finished, scaled sample (sampling thread).
    void Record(std::span<const AxisSample> sample);
    // The changes due now, in axis order, appended to out; each counts as told.
    void TakeDue(std::vector<CriticalChange>& out);

private:
    struct Axis {
        std::string name;
        bool told = false;          // critical as last told
        bool latest = false;        // critical at the latest read
        bool everTold = false;
        std::uint32_t toldAt = 0;   // tick count of the last change told
        double value = 0.0;
        double criticalValue = 0.0;
    };

    Clock& clock_;
    std::mutex lock_;
    std::vector<Axis> axes_;
};

// "<name> is critical: <value> (critical value <critical>)" or "<name> is back to normal", the
// values as the diagram writes them.
std::string DescribeCriticalChange(const CriticalChange& change);

} // namespace quel
