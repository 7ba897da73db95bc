#include "log/log_summary.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quel {
namespace {

constexpr double Unknown = std::numeric_limits<double>::quiet_NaN();

bool InSpan(std::time_t time, TimeSpan span)
{
    return time >= span.from && time <= span.to;
}

// The longest critical episode of column within one section's rows in span.
void FindEpisodes(const LogData& log, const LogSection& section, std::size_t column, TimeSpan span,
                  ColumnSummary& summary)
{
    const double critical = *summary.critical;
    std::size_t rows = 0;
    std::time_t start = 0;
    std::time_t last = 0;
    const auto close = [&](std::time_t end) {
        const std::time_t seconds = end - start;
        if (rows > 0 && (seconds > summary.episodeSeconds || (seconds == summary.episodeSeconds && rows > summary.episodeRows))) {
            summary.episodeRows = rows;
            summary.episodeStart = start;
            summary.episodeSeconds = seconds;
        }
        rows = 0;
    };
    for (std::size_t row = section.firstRow; row < section.firstRow + section.rowCount; ++row) {
        const std::time_t time = log.times[row];
        if (!InSpan(time, span))
            continue;
        const double value = log.Value(row, column);
        if (LogData::IsAvailable(value) && value >= critical) {
            if (rows++ == 0)
                start = time;
            last = time;
        } else if (rows > 0) {
            close(time);
        }
    }
    if (rows > 0)
        close(last);
}

} // namespace

std::vector<ColumnSummary> SummarizeColumns(const LogData& log, TimeSpan span,
                                            const std::vector<std::optional<double>>& critical)
{
    std::vector<ColumnSummary> summaries(log.ColumnCount());
    std::vector<double> sums(log.ColumnCount(), 0.0);
    for (std::size_t c = 0; c < summaries.size(); ++c) {
        summaries[c].minimum = std::numeric_limits<double>::infinity();
        summaries[c].maximum = -std::numeric_limits<double>::infinity();
        if (c < critical.size())
            summaries[c].critical = critical[c];
    }
    for (std::size_t row = 0; row < log.RowCount(); ++row) {
        if (!InSpan(log.times[row], span))
            continue;
        const std::span<const double> values = log.Row(row);
        for (std::size_t c = 0; c < values.size(); ++c) {
            const double value = values[c];
            if (!LogData::IsAvailable(value))
                continue;
            ColumnSummary& summary = summaries[c];
            ++summary.samples;
            sums[c] += value;
            summary.minimum = std::min(summary.minimum, value);
            summary.maximum = std::max(summary.maximum, value);
            if (summary.critical && value >= *summary.critical)
                ++summary.criticalSamples;
        }
    }
    for (std::size_t c = 0; c < summaries.size(); ++c) {
        ColumnSummary& summary = summaries[c];
        summary.mean = summary.samples > 0 ? sums[c] / static_cast<double>(summary.samples) : Unknown;
        if (summary.samples == 0)
            summary.minimum = summary.maximum = Unknown;
        if (summary.critical && summary.criticalSamples > 0) {
            for (const LogSection& section : log.sections)
                FindEpisodes(log, section, c, span, summary);
        }
    }
    return summaries;
}

std::optional<TimeSpan> LogSpan(const LogData& log)
{
    if (log.RowCount() == 0)
        return std::nullopt;
    const auto [first, last] = std::minmax_element(log.times.begin(), log.times.end());
    return TimeSpan {*first, *last};
}

std::optional<std::size_t> RowAt(const LogData& log, std::time_t time)
{
    std::optional<std::size_t> found;
    for (std::size_t row = 0; row < log.RowCount(); ++row) {
        const std::time_t t = log.times[row];
        if (t <= time && (!found || t >= log.times[*found]))
            found = row;
    }
    return found;
}

} // namespace quel
