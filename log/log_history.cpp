#include "log/log_history.h"

#include "log/log_layout.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

namespace quel {
namespace {

constexpr const char* ProfileExtension = ".qlmd";
constexpr double Unknown = std::numeric_limits<double>::quiet_NaN();

// An axis's name as a column of the log heads it (a CSV head leaves commas out).
std::string ColumnName(const std::optional<std::string>& axisName, LogKind kind)
{
    std::string name = axisName.value_or("");
    if (kind == LogKind::Csv)
        name.erase(std::remove(name.begin(), name.end(), CsvSeparator), name.end());
    return name;
}

} // namespace

std::string ProfileBesideLog(const std::string& logPath, const LogData& log)
{
    if (log.title.empty() || log.title == "." || log.title == ".." || log.title.find('/') != std::string::npos)
        return {};
    const std::filesystem::path folder = std::filesystem::path(logPath).parent_path();
    return ((folder.empty() ? std::filesystem::path("..") : folder.parent_path()) / (log.title + ProfileExtension)).string();
}

std::vector<std::optional<int>> MatchColumnsToAxes(const LogData& log, const WindRose& axes)
{
    std::vector<std::optional<int>> matches(log.ColumnCount());
    std::vector<bool> taken(static_cast<std::size_t>(std::max(0, axes.GetAxisCount())), false);
    for (std::size_t c = 0; c < matches.size(); ++c) {
        for (std::size_t a = 0; a < taken.size() && !matches[c]; ++a) {
            std::optional<std::string> name;
            if (!taken[a] && axes.GetAxisName(static_cast<int>(a), name) && ColumnName(name, log.kind) == log.columns[c]) {
                taken[a] = true;
                matches[c] = static_cast<int>(a);
            }
        }
    }
    return matches;
}

void LogHistory::Add(Running& running, double value)
{
    if (!LogData::IsAvailable(value))
        return;
    running.sum += value;
    running.maximum = running.count++ == 0 ? value : std::max(running.maximum, value);
}

LogHistory::LogHistory(const LogData& log) : log_(log)
{
    const std::size_t columns = log.ColumnCount();
    std::vector<Running> running(columns);
    std::vector<double> highest(columns, -std::numeric_limits<double>::infinity());
    bounds_.assign(columns, ColumnBounds {});
    checkpoints_.reserve((log.RowCount() / BlockRows + 1) * columns);
    for (std::size_t row = 0; row < log.RowCount(); ++row) {
        if (row % BlockRows == 0)
            checkpoints_.insert(checkpoints_.end(), running.begin(), running.end());
        const std::span<const double> values = log.Row(row);
        for (std::size_t c = 0; c < columns; ++c) {
            Add(running[c], values[c]);
            if (LogData::IsAvailable(values[c])) {
                bounds_[c].low = std::min(bounds_[c].low, values[c]);
                highest[c] = std::max(highest[c], values[c]);
            }
        }
    }
    for (std::size_t c = 0; c < columns; ++c)
        bounds_[c].high = highest[c] > bounds_[c].low ? highest[c] : bounds_[c].low + 1.0;
}

std::vector<ColumnMoment> LogHistory::MomentAt(std::size_t row) const
{
    const std::size_t columns = log_.ColumnCount();
    std::vector<ColumnMoment> moments(columns, ColumnMoment {Unknown, Unknown, Unknown});
    if (row >= log_.RowCount())
        return moments;
    // The same additions in the same order as a sum from row 0: the checkpoint holds their
    // first part.
    const std::size_t block = row / BlockRows;
    std::vector<Running> running(checkpoints_.begin() + static_cast<std::ptrdiff_t>(block * columns),
                                 checkpoints_.begin() + static_cast<std::ptrdiff_t>((block + 1) * columns));
    for (std::size_t r = block * BlockRows; r <= row; ++r) {
        const std::span<const double> values = log_.Row(r);
        for (std::size_t c = 0; c < columns; ++c)
            Add(running[c], values[c]);
    }
    for (std::size_t c = 0; c < columns; ++c) {
        moments[c].current = log_.Value(row, c);
        if (running[c].count > 0) {
            const double average = running[c].sum / static_cast<double>(running[c].count);
            moments[c].average = std::isfinite(average) ? average : Unknown;  // a sum past the double range
            moments[c].maximum = running[c].maximum;
        }
    }
    return moments;
}

} // namespace quel
