#pragma once
// LogData: a log read back. Rows lie in two contiguous vectors (a time each; a value per row
// and column, NaN for N/A), so that a long log takes little more memory than its numbers.

#include <cmath>
#include <cstddef>
#include <ctime>
#include <span>
#include <string>
#include <vector>

namespace quel {

enum class LogKind { Html, Csv };

struct LogSection {
    std::time_t started = 0;          // its "Started on" line, local time
    int logMode = 0;                  // what it tracks (HTML: 1..3); 0 when the log does not say
    std::size_t firstRow = 0;         // its rows are firstRow .. firstRow + rowCount - 1
    std::size_t rowCount = 0;
    std::vector<std::size_t> columns; // the log's column of each of its cells
};

struct LogData {
    LogKind kind = LogKind::Html;
    std::string title;                  // the base name its title gives (the profile's)
    std::vector<std::string> columns;   // every section's columns, by name and occurrence
    std::vector<LogSection> sections;
    std::vector<std::time_t> times;     // per row, local time as written
    std::vector<double> values;         // times.size() rows of columns.size() values; NaN: N/A

    std::size_t RowCount() const { return times.size(); }
    std::size_t ColumnCount() const { return columns.size(); }
    std::span<const double> Row(std::size_t row) const
    {
        return {values.data() + row * columns.size(), columns.size()};
    }
    double Value(std::size_t row, std::size_t column) const { return values[row * columns.size() + column]; }
    static bool IsAvailable(double value) { return !std::isnan(value); }
};

} // namespace quel
