#pragma once
// The counters dialog's working copy of a profile's axes (WorkingList), the checks of its
// "Selected counter" fields and the carrying of bounds into a wind rose axis.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quel {
class CounterMonitor;
class WindRose;
}

namespace quel::desktop {

struct CounterEntry {
    std::string path;
    std::string label;
    double min = 0.0;
    double max = 100.0;
    double critical = 80.0;
    double scale = 1.0;
    std::uint8_t inverse = 0;
    friend bool operator==(const CounterEntry&, const CounterEntry&) = default;
};

// One entry per axis, in axis order.
using WorkingList = std::vector<CounterEntry>;

constexpr std::size_t MaxCounters = 32;

// The monitor's axes: path from the axis data, label = Desc when not empty, else Name.
WorkingList ReadWorkingList(const CounterMonitor& monitor);
// A new entry for a path: labelled by the path, 0..100, critical 80, scale 1.
CounterEntry NewCounterEntry(const std::string& path);
// "3. \Memory\Available Bytes" for index 2.
std::string CounterListLine(std::size_t index, const std::string& path);

// The "Selected counter" fields as typed.
struct AxisFieldTexts {
    std::string label, min, max, critical, scale;
};
enum class AxisField { Label, Min, Max, Critical, Scale };
struct AxisFieldError {
    AxisField field;
    const char* message;
};
// Reads the fields in the order min, max, critical, label, scale and stops at the first fault;
// on success entry holds the values (path and inverse untouched).
std::optional<AxisFieldError> ReadAxisFields(const AxisFieldTexts& texts, CounterEntry& entry);

// Sets an axis's three bounds to a triple with min <= critical <= max whatever the old bounds
// were: the range is widened first so that no intermediate step is refused.
void ApplyAxisBounds(WindRose& rose, int axis, double min, double max, double critical);

// Whether the provider's grammar reads path as a counter path.
bool IsCounterPath(std::string_view path);

} // namespace quel::desktop
