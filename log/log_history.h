#pragma once
// A log read back as history: the profile beside it, its columns' axes, and the wind rose's
// three lines at any row. Current is the row's value, average the mean and maximal the maximum
// of the values of every row up to and including it (sections join into one time line); N/A
// stays N/A. The desktop's history view and "quelmonctl render --log" both draw from here.

#include "log/log_data.h"
#include "windrose/wind_rose.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quel {

// "<folder>/Logs/<title>-log.html" -> "<folder>/<title>.qlmd"; empty when the title cannot name
// a file there.
std::string ProfileBesideLog(const std::string& logPath, const LogData& log);

// The axis of each column: the first axis not yet taken whose name the log writes as the
// column's name; none when no axis has it.
std::vector<std::optional<int>> MatchColumnsToAxes(const LogData& log, const WindRose& axes);

struct ColumnMoment {
    double current = 0.0;  // NaN: N/A
    double average = 0.0;  // NaN when no row up to the moment has a value
    double maximum = 0.0;
};

struct ColumnBounds {
    double low = 0.0;   // 0, or the lowest value when below 0
    double high = 1.0;  // the highest value; above low
};

// The moments of a log's rows. One pass at construction keeps the running sums, counts and
// maxima at every BlockRows-th row, so a moment costs at most BlockRows rows of work and the
// extra memory is a small fraction of the rows'. The log must outlive it and stay unchanged.
class LogHistory {
public:
    static constexpr std::size_t BlockRows = 64;

    explicit LogHistory(const LogData& log);

    const LogData& Log() const { return log_; }
    // Each column at row (rows 0..row); every column N/A past the last row.
    std::vector<ColumnMoment> MomentAt(std::size_t row) const;
    // The bounds an axis drawn from a column's values takes.
    ColumnBounds Bounds(std::size_t column) const { return bounds_[column]; }

private:
    struct Running {
        double sum = 0.0;
        double maximum = 0.0;
        std::uint64_t count = 0;
    };
    static void Add(Running& running, double value);

    const LogData& log_;
    std::vector<Running> checkpoints_;  // before row k * BlockRows, per column
    std::vector<ColumnBounds> bounds_;
};

} // namespace quel
