#pragma once
// The wind rose's state record. Private to the model's implementation and to derived classes
// that need direct access (through WindRose::state()).

#include "windrose/wind_rose.h"

#include <optional>
#include <string>
#include <vector>

namespace quel {

// One axis slot. A free slot holds exactly these initial values.
struct WindRoseAxis {
    std::optional<std::string> Name;
    std::optional<std::string> Desc;
    std::string label;          // composed at each paint; held whole
    double MinValue = 0.0;
    double MaxValue = 0.0;
    double CriticalValue = 0.0;
    double Multiplier = 1.0;
    std::uint8_t Inverse = 0;
    AxisDataPtr data;
    std::optional<PenDesc> pen;
};

// One value cell: the stored value (after division and inversion) and its WindRoseValueState.
struct WindRoseValue {
    double value = 0.0;
    int state = Normal;
};

// One series slot.
struct WindRoseSeries {
    int visible = 1;
    std::optional<std::string> name;
    std::optional<std::string> desc;
    std::optional<PenDesc> pen;
    std::vector<WindRoseValue> values;  // AxisCapacity cells while the slot is in use
    std::vector<Point> points;          // AxisCapacity + 1 points, filled by Paint
    int capacity = 0;
    ColorRef textColor = NoColor;
    ColorRef bkColor = NoColor;
};

// The record itself, nameable by the model's helper functions.
struct WindRoseState {
    int lastError = Ok;
    int modified = 0;
    std::vector<WindRoseAxis> axes;
    int axisCount = 0;
    int AxisCapacity = 0;
    std::vector<WindRoseSeries> series;
    int seriesCount = 0;
    int SeriesCapacity = 0;
    int GridStep = 20;
    int CriticalBorder = 80;
    int ShowNames = 1;
    int ShowValues = 1;
    int ShowNumbers = 0;
    int LabelTrunc = 2;
    std::optional<PenDesc> axisPen;
    std::optional<PenDesc> seriesPen;
    std::optional<PenDesc> gridPen;
    std::optional<PenDesc> criticalPen;
    std::optional<FontDesc> font;
    ColorRef textColor = NoColor;
    ColorRef bkColor = NoColor;
    // Valid only while Paint runs.
    Surface* surface = nullptr;
    Rect paintRect;
    int centerX = 0;
    int centerY = 0;
    int radius = 0;
};

struct WindRose::State : WindRoseState {};

} // namespace quel
