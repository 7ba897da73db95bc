#pragma once
// Pages of our own service: one quellarimond_axis_current_value series per axis, its counter
// path in the "path" label. A remote path names the series whose path, without its computer
// part, names the same counter.

#include "platform/counter_path.h"
#include "platform/perf_data_source.h"

#include <string>
#include <string_view>
#include <vector>

namespace quel {

class ExpositionPage;

inline constexpr std::string_view ServiceCurrentValueMetric = "quellarimond_axis_current_value";

bool IsServicePage(const ExpositionPage& page);
// Whether two paths name the same counter: objects and counters compared without case,
// instances exactly, computers ignored.
bool SameCounter(const CounterPath& a, const CounterPath& b);
// The current value of the counter; NoInstance when the page has no such series, Unreadable
// when its value is not a finite number.
PerfStatus ServicePageValue(const ExpositionPage& page, const CounterPath& wanted, double& value);
// The objects named by the page's paths, in the order first seen.
void ListServiceObjects(const ExpositionPage& page, std::vector<std::string>& objects);
// The counters and instances of one object named by the page's paths; false when none is.
bool ListServiceObjectItems(const ExpositionPage& page, std::string_view object, std::vector<std::string>& counters,
                            std::vector<std::string>& instances);

} // namespace quel
