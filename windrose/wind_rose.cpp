// The wind rose model's operations: axes, series, values, display options and appearance.

#include "windrose/wind_rose.h"
#include "windrose/wind_rose_state.h"

#include <algorithm>
#include <new>
#include <utility>

namespace quel {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

int Fail(WindRoseState& s, int error)
{
    s.lastError = error;
    return 0;
}

int Succeed(WindRoseState& s)
{
    s.lastError = Ok;
    return 1;
}

bool ValidAxis(const WindRoseState& s, int index) { return index >= 0 && index < s.axisCount; }
bool ValidSeries(const WindRoseState& s, int index) { return index >= 0 && index < s.seriesCount; }

bool ValidPen(int style, int width) { return style >= PenSolid && style <= PenInsideFrame && width >= 0; }

constexpr std::size_t MaxFaceLength = 31;
constexpr int MaxFontHeight = 16384;

bool ValidFont(const FontDesc& font)
{
    return font.face.size() <= MaxFaceLength && font.height >= -MaxFontHeight && font.height <= MaxFontHeight;
}

// Replaces an owned text when the new one differs; a missing text is NullArgument.
int AssignText(WindRoseState& s, std::optional<std::string>& field, OptionalText text)
{
    if (!text)
        return Fail(s, NullArgument);
    if (field && *field == *text)
        return Succeed(s);
    try {
        field = std::string(*text);
    } catch (const std::bad_alloc&) {
        return Fail(s, NoMemory);
    }
    s.modified = 1;
    return Succeed(s);
}

int GetText(WindRoseState& s, const std::optional<std::string>& field, std::optional<std::string>& out)
{
    try {
        // Assigned in place, so that a caller asking again reuses out's memory; a failed
        // allocation leaves out as it was.
        out = field;
    } catch (const std::bad_alloc&) {
        return Fail(s, NoMemory);
    }
    return Succeed(s);
}

template <class T>
int GetField(WindRoseState& s, const T& field, T& out)
{
    out = field;
    return Succeed(s);
}

// Stores a bound when it differs; an equal value is a success without change.
int AssignBound(WindRoseState& s, double& field, double value)
{
    if (field != value) {
        field = value;
        s.modified = 1;
    }
    return Succeed(s);
}

int AssignPen(WindRoseState& s, std::optional<PenDesc>& field, int style, int width, ColorRef color)
{
    if (!ValidPen(style, width))
        return Fail(s, PenFailed);
    field = PenDesc {style, width, color};
    return Succeed(s);
}

void AssignOption(WindRoseState& s, int& field, int value)
{
    if (field != value) {
        field = value;
        s.modified = 1;
    }
}

} // namespace

WindRose::WindRose(int axisCapacity, int seriesCapacity) : state_(std::make_unique<State>())
{
    State& s = *state_;
    bool substituted = false;
    if (axisCapacity < 0) {
        axisCapacity = DefaultAxisCapacity;
        substituted = true;
    }
    if (seriesCapacity < 0) {
        seriesCapacity = DefaultSeriesCapacity;
        substituted = true;
    }
    try {
        s.axes.resize(static_cast<std::size_t>(axisCapacity));
        s.series.resize(static_cast<std::size_t>(seriesCapacity));
        s.AxisCapacity = axisCapacity;
        s.SeriesCapacity = seriesCapacity;
    } catch (const std::exception&) {
        s.axes.clear();
        s.series.clear();
        s.lastError = NoMemory;
        return;
    }
    s.lastError = substituted ? BadIndex : Ok;
}

WindRose::~WindRose() = default;

WindRose::State& WindRose::state() { return *state_; }
const WindRose::State& WindRose::state() const { return *state_; }

// --- configuration block hooks (base behaviour) -----------------------------------------------

bool WindRose::WriteAxisData(ConfigWriter&, const AxisData&) { return true; }
bool WindRose::WriteExtraKeys(ConfigWriter&) { return true; }
AxisDataPtr WindRose::ReadAxisKey(const std::string&, const std::string&) { return nullptr; }
void WindRose::ReadExtraKey(const std::string&, const std::string&) {}
void WindRose::FreeAxisData(AxisDataPtr) {}

// --- housekeeping -----------------------------------------------------------------------------

void WindRose::Lock() const { lock_.lock(); }
void WindRose::Unlock() const { lock_.unlock(); }

int WindRose::GetLastError() const
{
    Guard guard(lock_);
    return state_->lastError;
}

void WindRose::SetLastError(int error)
{
    Guard guard(lock_);
    state_->lastError = error;
}

int WindRose::IsModified() const
{
    Guard guard(lock_);
    return state_->modified;
}

void WindRose::SetModified(int modified)
{
    Guard guard(lock_);
    state_->modified = modified;
}

void WindRose::ResetDisplayOptions()
{
    Guard guard(lock_);
    State& s = *state_;
    s.ShowNames = 1;
    s.ShowValues = 1;
    s.ShowNumbers = 0;
    s.LabelTrunc = 2;
    s.GridStep = 20;
    s.CriticalBorder = 80;
}

int WindRose::GetAxisCapacity() const
{
    Guard guard(lock_);
    return state_->AxisCapacity;
}

int WindRose::GetSeriesCapacity() const
{
    Guard guard(lock_);
    return state_->SeriesCapacity;
}

// --- axes -------------------------------------------------------------------------------------

int WindRose::AddAxis(OptionalText name, OptionalText desc, std::uint8_t inverse, double minValue,
                      double maxValue, double criticalValue, double multiplier, AxisDataPtr data)
{
    Guard guard(lock_);
    State& s = *state_;
    if (s.axisCount >= s.AxisCapacity)
        return Fail(s, TableFull);
    if (minValue > maxValue || criticalValue > maxValue || criticalValue < minValue)
        return Fail(s, BadRange);
    if (!name || !desc)
        return Fail(s, NullArgument);
    WindRoseAxis axis;
    try {
        axis.Name = std::string(*name);
        axis.Desc = std::string(*desc);
    } catch (const std::bad_alloc&) {
        return Fail(s, NoMemory);
    }
    axis.MinValue = minValue;
    axis.MaxValue = maxValue;
    axis.CriticalValue = criticalValue;
    axis.Multiplier = multiplier;
    axis.Inverse = inverse != 0 ? 1 : 0;
    axis.data = std::move(data);
    s.axes[static_cast<std::size_t>(s.axisCount)] = std::move(axis);
    ++s.axisCount;
    s.modified = 1;
    return Succeed(s);
}

int WindRose::RemoveAxis(int index)
{
    Guard guard(lock_);
    State& s = *state_;
    if (!ValidAxis(s, index))
        return Fail(s, BadIndex);
    const int last = s.axisCount - 1;
    --s.axisCount;
    FreeAxisData(std::move(s.axes[static_cast<std::size_t>(index)].data));
    auto axes = s.axes.begin();
    std::move(axes + index + 1, axes + last + 1, axes + index);
    s.axes[static_cast<std::size_t>(last)] = WindRoseAxis {};
    for (int j = 0; j < s.seriesCount; ++j) {
        auto& values = s.series[static_cast<std::size_t>(j)].values;
        std::move(values.begin() + index + 1, values.begin() + last + 1, values.begin() + index);
        values[static_cast<std::size_t>(last)] = WindRoseValue {};
    }
    s.modified = 1;
    return Succeed(s);
}

int WindRose::RemoveAllAxes()
{
    Guard guard(lock_);
    State& s = *state_;
    for (int i = 0; i < s.axisCount; ++i) {
        auto& axis = s.axes[static_cast<std::size_t>(i)];
        FreeAxisData(std::move(axis.data));
        axis = WindRoseAxis {};
        for (int j = 0; j < s.seriesCount; ++j)
            s.series[static_cast<std::size_t>(j)].values[static_cast<std::size_t>(i)] = WindRoseValue {};
    }
    s.axisCount = 0;
    s.modified = 1;
    return Succeed(s);
}

int WindRose::GetAxisCount() const
{
    Guard guard(lock_);
    return state_->axisCount;
}

#define QUEL_AXIS(index)                                                                            \
    Guard guard(lock_);                                                                             \
    State& s = *state_;                                                                             \
    if (!ValidAxis(s, index))                                                                       \
        return Fail(s, BadIndex);                                                                   \
    WindRoseAxis& axis = s.axes[static_cast<std::size_t>(index)]

int WindRose::GetAxisName(int index, std::optional<std::string>& name) const
{
    QUEL_AXIS(index);
    return GetText(s, axis.Name, name);
}

int WindRose::GetAxisDesc(int index, std::optional<std::string>& desc) const
{
    QUEL_AXIS(index);
    return GetText(s, axis.Desc, desc);
}

int WindRose::SetAxisName(int index, OptionalText name)
{
    QUEL_AXIS(index);
    return AssignText(s, axis.Name, name);
}

int WindRose::SetAxisDesc(int index, OptionalText desc)
{
    QUEL_AXIS(index);
    return AssignText(s, axis.Desc, desc);
}

int WindRose::GetAxisMin(int index, double& value) const
{
    QUEL_AXIS(index);
    return GetField(s, axis.MinValue, value);
}

int WindRose::GetAxisMax(int index, double& value) const
{
    QUEL_AXIS(index);
    return GetField(s, axis.MaxValue, value);
}

int WindRose::GetAxisCritical(int index, double& value) const
{
    QUEL_AXIS(index);
    return GetField(s, axis.CriticalValue, value);
}

int WindRose::GetAxisMultiplier(int index, double& value) const
{
    QUEL_AXIS(index);
    return GetField(s, axis.Multiplier, value);
}

int WindRose::SetAxisMin(int index, double value)
{
    QUEL_AXIS(index);
    if (value > axis.MaxValue || value > axis.CriticalValue)
        return Fail(s, BadRange);
    return AssignBound(s, axis.MinValue, value);
}

int WindRose::SetAxisMax(int index, double value)
{
    QUEL_AXIS(index);
    if (value < axis.MinValue || value < axis.CriticalValue)
        return Fail(s, BadRange);
    return AssignBound(s, axis.MaxValue, value);
}

int WindRose::SetAxisCritical(int index, double value)
{
    QUEL_AXIS(index);
    if (value > axis.MaxValue || value < axis.MinValue)
        return Fail(s, BadRange);
    return AssignBound(s, axis.CriticalValue, value);
}

int WindRose::SetAxisMultiplier(int index, double value)
{
    QUEL_AXIS(index);
    if (value == 0.0)
        return Fail(s, BadRange);
    return AssignBound(s, axis.Multiplier, value);
}

int WindRose::GetAxisInverse(int index, std::uint8_t& inverse) const
{
    QUEL_AXIS(index);
    return GetField(s, axis.Inverse, inverse);
}

int WindRose::SetAxisInverse(int index, std::uint8_t inverse)
{
    QUEL_AXIS(index);
    const std::uint8_t flag = inverse != 0 ? 1 : 0;
    if (flag == axis.Inverse)
        return Succeed(s);
    axis.Inverse = flag;
    s.modified = 1;
    // Re-express the stored values in the other direction; states stay as they are.
    for (int j = 0; j < s.seriesCount; ++j) {
        WindRoseValue& cell = s.series[static_cast<std::size_t>(j)].values[static_cast<std::size_t>(index)];
        if (cell.state != NoData && cell.value < axis.MaxValue)
            cell.value = axis.MaxValue - cell.value;
        else
            cell.value = 0.0;
    }
    return Succeed(s);
}

int WindRose::GetAxisData(int index, const AxisData*& data) const
{
    QUEL_AXIS(index);
    data = axis.data.get();
    return Succeed(s);
}

int WindRose::SetAxisData(int index, AxisDataPtr data)
{
    QUEL_AXIS(index);
    if (data.get() != axis.data.get()) {
        AxisDataPtr old = std::exchange(axis.data, std::move(data));
        FreeAxisData(std::move(old));
        s.modified = 1;
    }
    return Succeed(s);
}

#undef QUEL_AXIS

// --- series -----------------------------------------------------------------------------------

#define QUEL_SERIES(index)                                                                          \
    Guard guard(lock_);                                                                             \
    State& s = *state_;                                                                             \
    if (!ValidSeries(s, index))                                                                     \
        return Fail(s, BadIndex);                                                                   \
    WindRoseSeries& series = s.series[static_cast<std::size_t>(index)]

int WindRose::AddSeries(OptionalText name, OptionalText desc)
{
    Guard guard(lock_);
    State& s = *state_;
    if (s.seriesCount >= s.SeriesCapacity)
        return Fail(s, TableFull);
    if (!name || !desc)
        return Fail(s, NullArgument);
    WindRoseSeries& slot = s.series[static_cast<std::size_t>(s.seriesCount)];
    WindRoseSeries fresh;
    try {
        fresh.name = std::string(*name);
        fresh.desc = std::string(*desc);
        fresh.values.assign(static_cast<std::size_t>(s.AxisCapacity), WindRoseValue {});
        fresh.points.assign(static_cast<std::size_t>(s.AxisCapacity) + 1, Point {});
    } catch (const std::bad_alloc&) {
        return Fail(s, NoMemory);
    }
    fresh.capacity = s.AxisCapacity;
    fresh.visible = slot.visible;  // visibility belongs to the slot
    slot = std::move(fresh);
    ++s.seriesCount;
    s.modified = 1;
    return Succeed(s);
}

// A freed series slot: no arrays, strings or pen; its visibility flag stays.
static void ClearSeriesSlot(WindRoseSeries& slot)
{
    const int visible = slot.visible;
    slot = WindRoseSeries {};
    slot.visible = visible;
}

int WindRose::RemoveSeries(int index)
{
    QUEL_SERIES(index);
    (void)series;
    const int last = s.seriesCount - 1;
    --s.seriesCount;
    auto slots = s.series.begin();
    std::move(slots + index + 1, slots + last + 1, slots + index);
    ClearSeriesSlot(s.series[static_cast<std::size_t>(last)]);
    s.modified = 1;
    return Succeed(s);
}

int WindRose::RemoveAllSeries()
{
    Guard guard(lock_);
    State& s = *state_;
    for (int j = 0; j < s.seriesCount; ++j)
        ClearSeriesSlot(s.series[static_cast<std::size_t>(j)]);
    s.seriesCount = 0;
    s.modified = 1;
    return Succeed(s);
}

int WindRose::GetSeriesCount() const
{
    Guard guard(lock_);
    return state_->seriesCount;
}

int WindRose::ShowSeries(int index, int visible)
{
    QUEL_SERIES(index);
    series.visible = visible;
    return Succeed(s);
}

int WindRose::GetSeriesVisible(int index, int& visible) const
{
    QUEL_SERIES(index);
    return GetField(s, series.visible, visible);
}

int WindRose::GetSeriesName(int index, std::optional<std::string>& name) const
{
    QUEL_SERIES(index);
    return GetText(s, series.name, name);
}

int WindRose::GetSeriesDesc(int index, std::optional<std::string>& desc) const
{
    QUEL_SERIES(index);
    return GetText(s, series.desc, desc);
}

int WindRose::SetSeriesName(int index, OptionalText name)
{
    QUEL_SERIES(index);
    return AssignText(s, series.name, name);
}

int WindRose::SetSeriesDesc(int index, OptionalText desc)
{
    QUEL_SERIES(index);
    return AssignText(s, series.desc, desc);
}

#undef QUEL_SERIES

// --- values -----------------------------------------------------------------------------------

#define QUEL_CELL(axisIndex, seriesIndex)                                                           \
    Guard guard(lock_);                                                                             \
    State& s = *state_;                                                                             \
    if (!ValidAxis(s, axisIndex) || !ValidSeries(s, seriesIndex))                                   \
        return Fail(s, BadIndex);                                                                   \
    WindRoseAxis& axis = s.axes[static_cast<std::size_t>(axisIndex)];                               \
    WindRoseValue& cell =                                                                           \
        s.series[static_cast<std::size_t>(seriesIndex)].values[static_cast<std::size_t>(axisIndex)]

int WindRose::SetValue(int axisIndex, double value, int seriesIndex)
{
    QUEL_CELL(axisIndex, seriesIndex);
    const double v = ScaleToAxis(value, axis.Multiplier, axis.MaxValue, axis.Inverse != 0);
    cell.value = v;
    cell.state = DiagramCritical(v, axis.CriticalValue) ? Critical : Normal;
    return Succeed(s);
}

int WindRose::GetValue(int axisIndex, double& value, int seriesIndex) const
{
    QUEL_CELL(axisIndex, seriesIndex);
    (void)axis;
    return GetField(s, cell.value, value);
}

int WindRose::SetValueState(int axisIndex, int valueState, int seriesIndex)
{
    QUEL_CELL(axisIndex, seriesIndex);
    if (axis.Inverse && valueState == NoData)
        cell.value = 0.0;
    cell.state = valueState;
    return Succeed(s);
}

int WindRose::GetValueState(int axisIndex, int& valueState, int seriesIndex) const
{
    QUEL_CELL(axisIndex, seriesIndex);
    (void)axis;
    return GetField(s, cell.state, valueState);
}

#undef QUEL_CELL

namespace {

void ScaleAxisSamples(const WindRoseState& s, std::span<AxisSample> axes)
{
    for (std::size_t i = 0; i < axes.size(); ++i) {
        const WindRoseAxis& axis = s.axes[i];
        AxisSample& sample = axes[i];
        const auto scale = [&axis](double raw) {
            return ScaleToAxis(raw, axis.Multiplier, axis.MaxValue, axis.Inverse != 0);
        };
        sample.current = scale(sample.raw);
        sample.average = scale(sample.rawAverage);
        sample.maximum = scale(sample.rawMaximum);
        sample.criticalValue = axis.CriticalValue;
        sample.critical = sample.read && DiagramCritical(sample.current, axis.CriticalValue);
        sample.atCritical = sample.read && LogCritical(sample.current, axis.CriticalValue);
    }
}

} // namespace

int WindRose::ScaleSample(std::span<AxisSample> axes) const
{
    Guard guard(lock_);
    State& s = *state_;
    if (axes.size() > static_cast<std::size_t>(s.axisCount))
        return Fail(s, BadIndex);
    ScaleAxisSamples(s, axes);
    return Succeed(s);
}

int WindRose::ApplySample(std::span<AxisSample> axes, int maxSeries, int averageSeries, int currentSeries)
{
    Guard guard(lock_);
    State& s = *state_;
    if (axes.size() > static_cast<std::size_t>(s.axisCount) || !ValidSeries(s, maxSeries) ||
        !ValidSeries(s, averageSeries) || !ValidSeries(s, currentSeries))
        return Fail(s, BadIndex);
    ScaleAxisSamples(s, axes);
    for (std::size_t i = 0; i < axes.size(); ++i) {
        const AxisSample& sample = axes[i];
        const double critical = s.axes[i].CriticalValue;
        const std::pair<int, double> cells[] = {
            {maxSeries, sample.maximum}, {averageSeries, sample.average}, {currentSeries, sample.current}};
        for (const auto& [series, value] : cells) {
            WindRoseValue& cell = s.series[static_cast<std::size_t>(series)].values[i];
            cell.value = sample.read ? value : 0.0;
            cell.state = !sample.read ? NoData : DiagramCritical(value, critical) ? Critical : Normal;
        }
    }
    return Succeed(s);
}

// --- display options --------------------------------------------------------------------------

int WindRose::GetGridStep() const
{
    Guard guard(lock_);
    return state_->GridStep;
}

int WindRose::GetCriticalBorder() const
{
    Guard guard(lock_);
    return state_->CriticalBorder;
}

int WindRose::GetShowNames() const
{
    Guard guard(lock_);
    return state_->ShowNames;
}

int WindRose::GetShowNumbers() const
{
    Guard guard(lock_);
    return state_->ShowNumbers;
}

int WindRose::GetShowValues() const
{
    Guard guard(lock_);
    return state_->ShowValues;
}

int WindRose::GetLabelTrunc() const
{
    Guard guard(lock_);
    return state_->LabelTrunc;
}

int WindRose::SetGridStep(int percent)
{
    Guard guard(lock_);
    State& s = *state_;
    if (percent < 0 || percent > 100)
        return Fail(s, BadPercent);
    AssignOption(s, s.GridStep, percent);
    return Succeed(s);
}

int WindRose::SetCriticalBorder(int percent)
{
    Guard guard(lock_);
    State& s = *state_;
    if (percent < 0 || percent > 100)
        return Fail(s, BadPercent);
    AssignOption(s, s.CriticalBorder, percent);
    return Succeed(s);
}

void WindRose::SetShowNames(int show)
{
    Guard guard(lock_);
    AssignOption(*state_, state_->ShowNames, show);
}

void WindRose::SetShowNumbers(int show)
{
    Guard guard(lock_);
    AssignOption(*state_, state_->ShowNumbers, show);
}

void WindRose::SetShowValues(int show)
{
    Guard guard(lock_);
    AssignOption(*state_, state_->ShowValues, show);
}

void WindRose::SetLabelTrunc(int mode)
{
    Guard guard(lock_);
    AssignOption(*state_, state_->LabelTrunc, mode);
}

// --- appearance -------------------------------------------------------------------------------

int WindRose::SetAxisPen(int style, int width, ColorRef color)
{
    Guard guard(lock_);
    return AssignPen(*state_, state_->axisPen, style, width, color);
}

int WindRose::SetSeriesPen(int style, int width, ColorRef color)
{
    Guard guard(lock_);
    return AssignPen(*state_, state_->seriesPen, style, width, color);
}

int WindRose::SetGridPen(int style, int width, ColorRef color)
{
    Guard guard(lock_);
    return AssignPen(*state_, state_->gridPen, style, width, color);
}

int WindRose::SetCriticalPen(int style, int width, ColorRef color)
{
    Guard guard(lock_);
    return AssignPen(*state_, state_->criticalPen, style, width, color);
}

int WindRose::SetAxisPenAt(int index, int style, int width, ColorRef color)
{
    Guard guard(lock_);
    State& s = *state_;
    if (!ValidAxis(s, index))
        return Fail(s, BadIndex);
    return AssignPen(s, s.axes[static_cast<std::size_t>(index)].pen, style, width, color);
}

int WindRose::SetSeriesPenAt(int index, int style, int width, ColorRef color)
{
    Guard guard(lock_);
    State& s = *state_;
    if (!ValidSeries(s, index))
        return Fail(s, BadIndex);
    return AssignPen(s, s.series[static_cast<std::size_t>(index)].pen, style, width, color);
}

int WindRose::SetFont(const FontDesc* font)
{
    Guard guard(lock_);
    State& s = *state_;
    if (font == nullptr)
        return Fail(s, NullArgument);
    if (!ValidFont(*font))
        return Fail(s, FontFailed);
    try {
        s.font = *font;
    } catch (const std::bad_alloc&) {
        return Fail(s, FontFailed);
    }
    return Succeed(s);
}

int WindRose::SetTextColors(ColorRef text, ColorRef background)
{
    Guard guard(lock_);
    State& s = *state_;
    s.textColor = text;
    s.bkColor = background;
    return Succeed(s);
}

int WindRose::SetSeriesTextColors(int index, ColorRef text, ColorRef background)
{
    Guard guard(lock_);
    State& s = *state_;
    if (!ValidSeries(s, index))
        return Fail(s, BadIndex);
    auto& series = s.series[static_cast<std::size_t>(index)];
    series.textColor = text;
    series.bkColor = background;
    return Succeed(s);
}

} // namespace quel
