#pragma once
// A log's moment on a wind rose: the columns' axes (the profile's, or one drawn from a column's
// values when the profile has none for it) and the three series set from the logged values.

#include "log/log_history.h"
#include "windrose/wind_rose.h"

#include <string>
#include <vector>

namespace quel {

struct ColumnAxes {
    std::vector<int> axis;           // per column; -1: not drawn (no room for another axis)
    std::vector<std::string> notes;  // one line per column given an axis of its own, or left out
};

// Matches the columns to rose's axes by name and adds an axis from its values' bounds for
// every column without one.
ColumnAxes PlaceColumns(WindRose& rose, const LogHistory& history);

// Sets the three series of every axis: the columns' moments on their axes, N/A elsewhere.
void ShowMoment(WindRose& rose, const std::vector<int>& axes, const std::vector<ColumnMoment>& moment);

} // namespace quel
