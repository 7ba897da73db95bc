#pragma once
// The metric families of the service's /metrics page, built from one page of values.

#include "service/metrics/metrics_module_api.h"

#include <prometheus/metric_family.h>

#include <vector>

namespace quel {

// Per axis (labels profile, axis, path): quellarimond_axis_current_value (absent while the axis
// has no data), _average_value, _maximum_value, _critical (0/1), _min_value, _max_value and
// _critical_value; then the service's quellarimond_samples_total,
// quellarimond_failed_reads_total and quellarimond_last_sample_timestamp_seconds.
std::vector<prometheus::MetricFamily> MetricFamilies(const QuelMetricsPage& page);

} // namespace quel
