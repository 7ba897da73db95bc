#pragma once
// The names of the service's /metrics page, shared by the page and by the alerting rules that
// select its series, so both always agree.

#include <string>

namespace quel {

inline constexpr const char* AxisCurrentMetric = "quellarimond_axis_current_value";
inline constexpr const char* AxisAverageMetric = "quellarimond_axis_average_value";
inline constexpr const char* AxisMaximumMetric = "quellarimond_axis_maximum_value";
inline constexpr const char* AxisCriticalMetric = "quellarimond_axis_critical";
inline constexpr const char* AxisMinValueMetric = "quellarimond_axis_min_value";
inline constexpr const char* AxisMaxValueMetric = "quellarimond_axis_max_value";
inline constexpr const char* AxisCriticalValueMetric = "quellarimond_axis_critical_value";
inline constexpr const char* SamplesTotalMetric = "quellarimond_samples_total";
inline constexpr const char* FailedReadsTotalMetric = "quellarimond_failed_reads_total";
inline constexpr const char* LastSampleMetric = "quellarimond_last_sample_timestamp_seconds";

inline constexpr const char* ProfileLabel = "profile";
inline constexpr const char* AxisLabel = "axis";
inline constexpr const char* PathLabel = "path";

// The profile label of a profile file: its base name ("/srv/web.qlmd" -> "web").
std::string MetricsProfileName(const std::string& profilePath);

} // namespace quel
