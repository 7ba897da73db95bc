#include "engine/log_moment_rose.h"

#include "engine/counter_monitor.h"
#include "windrose/number_text.h"

#include <limits>

namespace quel {
namespace {

// The raw value that the axis shows as the logged value (the inverse of its scaling).
double RawValue(const WindRose& rose, int axis, double logged)
{
    double multiplier = 1.0;
    double maximum = 0.0;
    std::uint8_t inverse = 0;
    rose.GetAxisMultiplier(axis, multiplier);
    rose.GetAxisMax(axis, maximum);
    rose.GetAxisInverse(axis, inverse);
    return (inverse != 0 ? maximum - logged : logged) * multiplier;
}

void SetSeries(WindRose& rose, int axis, int series, double logged)
{
    if (!LogData::IsAvailable(logged)) {
        rose.SetValue(axis, 0.0, series);
        rose.SetValueState(axis, NoData, series);
        return;
    }
    rose.SetValue(axis, RawValue(rose, axis, logged), series);
}

} // namespace

ColumnAxes PlaceColumns(WindRose& rose, const LogHistory& history)
{
    const LogData& log = history.Log();
    const std::vector<std::optional<int>> matches = MatchColumnsToAxes(log, rose);
    ColumnAxes placed;
    placed.axis.assign(log.ColumnCount(), -1);
    for (std::size_t c = 0; c < matches.size(); ++c) {
        if (matches[c]) {
            placed.axis[c] = *matches[c];
            continue;
        }
        const std::string& name = log.columns[c];
        const ColumnBounds bounds = history.Bounds(c);
        if (!rose.AddAxis(name, "", 0, bounds.low, bounds.high, bounds.high, 1.0, nullptr)) {
            placed.notes.push_back("column \"" + name + "\" left out: the wind rose has no room for more axes");
            continue;
        }
        placed.axis[c] = rose.GetAxisCount() - 1;
        placed.notes.push_back("column \"" + name + "\" has no axis in the profile: drawn from " +
                               FormatFixed(bounds.low, 2) + " to " + FormatFixed(bounds.high, 2) + ", its values' bounds");
    }
    return placed;
}

void ShowMoment(WindRose& rose, const std::vector<int>& axes, const std::vector<ColumnMoment>& moment)
{
    constexpr double NotAvailable = std::numeric_limits<double>::quiet_NaN();
    for (int axis = 0; axis < rose.GetAxisCount(); ++axis) {
        for (const int series : {SeriesMax, SeriesAverage, SeriesCurrent})
            SetSeries(rose, axis, series, NotAvailable);
    }
    for (std::size_t c = 0; c < moment.size() && c < axes.size(); ++c) {
        if (axes[c] < 0)
            continue;
        SetSeries(rose, axes[c], SeriesMax, moment[c].maximum);
        SetSeries(rose, axes[c], SeriesAverage, moment[c].average);
        SetSeries(rose, axes[c], SeriesCurrent, moment[c].current);
    }
}

} // namespace quel
