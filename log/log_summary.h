#pragma once
// What a log read back says about its columns: statistics over a time span with the share
// and the longest episode at or above a critical value (the log's rule). The state of the
// columns at a moment as the wind rose shows it is log_history.h's.

#include "log/log_data.h"

#include <cstddef>
#include <ctime>
#include <optional>
#include <vector>

namespace quel {

struct TimeSpan {
    std::time_t from;
    std::time_t to;  // inclusive
};

struct ColumnSummary {
    std::size_t samples = 0;   // rows in the span with a value
    double minimum = 0.0;      // the three are NaN without samples
    double mean = 0.0;
    double maximum = 0.0;
    std::optional<double> critical;   // none: no critical value known
    std::size_t criticalSamples = 0;  // samples at or above it
    // The longest run of rows at or above it within a section; it lasts until the next row of
    // the section (a value holds until a row says otherwise), else to its last row.
    std::size_t episodeRows = 0;
    std::time_t episodeStart = 0;
    std::time_t episodeSeconds = 0;
};

// One summary per column over the rows whose time lies in span; critical[c] for column c
// (missing entries: none).
std::vector<ColumnSummary> SummarizeColumns(const LogData& log, TimeSpan span,
                                            const std::vector<std::optional<double>>& critical);

// The first and last time of the rows (none without rows).
std::optional<TimeSpan> LogSpan(const LogData& log);
// The row at or just before time: the latest time not after it, the later row of equal ones.
std::optional<std::size_t> RowAt(const LogData& log, std::time_t time);

} // namespace quel
