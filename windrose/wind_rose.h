#pragma once
// WindRose: the radar diagram's model. Axis slots (one spoke per quantity), series slots (one
// closed polyline each), a value cell per axis and series, display options, pens, font and
// colours, the last error and the modified flag, all guarded by one recursive lock that every
// operation holds for its whole duration.
//
// Operations return 1 on success and 0 on failure and store their WindRoseError as the last
// error (unless said otherwise). Index arguments are tested first. Out-parameters are written
// only on success. A failure leaves the model unchanged.

#include "windrose/axis_sample.h"
#include "windrose/config_writer.h"
#include "windrose/surface.h"
#include "windrose/wind_rose_types.h"

#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quel {

class ConfigReader;

// Data a derived class attaches to an axis (the counter monitor: the counter path). The model
// owns it and lets go of it through the FreeAxisData hook.
class AxisData {
public:
    virtual ~AxisData() = default;
};
using AxisDataPtr = std::unique_ptr<AxisData>;

// A string argument that may be missing (std::nullopt fails with NullArgument).
using OptionalText = std::optional<std::string_view>;

class WindRose {
public:
    static constexpr int DefaultAxisCapacity = 32;
    static constexpr int DefaultSeriesCapacity = 4;
    static constexpr int LabelCapacity = 55;

    // Negative capacities take the defaults (32, 4) and leave BadIndex as the last error.
    explicit WindRose(int axisCapacity = DefaultAxisCapacity, int seriesCapacity = DefaultSeriesCapacity);
    WindRose(const WindRose&) = delete;
    WindRose& operator=(const WindRose&) = delete;

    // --- configuration block hooks, in slot order -------------------------------------------
    // Writes the lines of one axis's data (called only for axes with data). Base: nothing.
    virtual bool WriteAxisData(ConfigWriter& file, const AxisData& data);
    // Writes the derived class's global keys after the six option lines. Base: nothing.
    virtual bool WriteExtraKeys(ConfigWriter& file);
    // Writes the header. Base: empty line, "# WINDROSE CONFIGURATION FILE. DO NOT EDIT!", empty line.
    virtual bool WriteHeader(ConfigWriter& file);
    // An unknown key inside an axis section; returned data becomes the axis's data. Base: none.
    virtual AxisDataPtr ReadAxisKey(const std::string& key, const std::string& value);
    // An unknown key outside axis sections. Base: ignored.
    virtual void ReadExtraKey(const std::string& key, const std::string& value);
    // The model lets go of axis data. Base: nothing beyond destroying it.
    virtual void FreeAxisData(AxisDataPtr data);
    // Releases everything; does not call FreeAxisData.
    virtual ~WindRose();
    // Writes the configuration block; 1 when everything was written and the file replaced.
    virtual int SaveToFile(const std::string& path);
    // The same configuration block as text, without touching a file or the modified flag; 1 when
    // everything was written.
    int SaveToText(std::string& text);
    // Reads a configuration block, appending its axes; 1 when read to the end (or to a full
    // axis table) and closed.
    virtual int LoadFromFile(const std::string& path);
    // The same reading of a configuration block already in memory (a profile read once).
    virtual int LoadFromText(std::string_view text);

    // --- housekeeping -----------------------------------------------------------------------
    void Lock() const;
    void Unlock() const;
    int GetLastError() const;
    void SetLastError(int error);
    int IsModified() const;
    void SetModified(int modified);
    void ResetDisplayOptions();
    int GetAxisCapacity() const;
    int GetSeriesCapacity() const;

    // --- axes -------------------------------------------------------------------------------
    int AddAxis(OptionalText name, OptionalText desc, std::uint8_t inverse, double minValue,
                double maxValue, double criticalValue, double multiplier, AxisDataPtr data);
    int RemoveAxis(int index);
    int RemoveAllAxes();
    int GetAxisCount() const;
    int GetAxisName(int index, std::optional<std::string>& name) const;
    int GetAxisDesc(int index, std::optional<std::string>& desc) const;
    int SetAxisName(int index, OptionalText name);
    int SetAxisDesc(int index, OptionalText desc);
    int GetAxisMin(int index, double& value) const;
    int GetAxisMax(int index, double& value) const;
    int GetAxisCritical(int index, double& value) const;
    int GetAxisMultiplier(int index, double& value) const;
    int SetAxisMin(int index, double value);
    int SetAxisMax(int index, double value);
    int SetAxisCritical(int index, double value);
    int SetAxisMultiplier(int index, double value);
    int GetAxisInverse(int index, std::uint8_t& inverse) const;
    int SetAxisInverse(int index, std::uint8_t inverse);
    // The data stays owned by the model; valid until the axis or its data changes.
    int GetAxisData(int index, const AxisData*& data) const;
    int SetAxisData(int index, AxisDataPtr data);

    // --- series -----------------------------------------------------------------------------
    int AddSeries(OptionalText name, OptionalText desc);
    int RemoveSeries(int index);
    int RemoveAllSeries();
    int GetSeriesCount() const;
    int ShowSeries(int index, int visible);
    int GetSeriesVisible(int index, int& visible) const;
    int GetSeriesName(int index, std::optional<std::string>& name) const;
    int GetSeriesDesc(int index, std::optional<std::string>& desc) const;
    int SetSeriesName(int index, OptionalText name);
    int SetSeriesDesc(int index, OptionalText desc);

    // --- values (axis first, series last) ---------------------------------------------------
    int SetValue(int axis, double value, int series);
    int GetValue(int axis, double& value, int series) const;
    int SetValueState(int axis, int state, int series);
    int GetValueState(int axis, int& state, int series) const;
    // Fills the scaled values and both critical classifications of each AxisSample (whose raw
    // values are set) from its axis. Returns 1, or 0 with BadIndex when there are more samples
    // than axes.
    int ScaleSample(std::span<AxisSample> axes) const;
    // ScaleSample and the three series' cells of every axis under one lock; an axis whose read
    // failed gets 0 and NoData in all three. Returns 1, or 0 with BadIndex.
    int ApplySample(std::span<AxisSample> axes, int maxSeries, int averageSeries, int currentSeries);

    // --- display options --------------------------------------------------------------------
    int GetGridStep() const;
    int GetCriticalBorder() const;
    int GetShowNames() const;
    int GetShowNumbers() const;
    int GetShowValues() const;
    int GetLabelTrunc() const;
    int SetGridStep(int percent);
    int SetCriticalBorder(int percent);
    void SetShowNames(int show);
    void SetShowNumbers(int show);
    void SetShowValues(int show);
    void SetLabelTrunc(int mode);

    // --- appearance (never raises the modified flag) ---------------------------------------
    int SetAxisPen(int style, int width, ColorRef color);
    int SetSeriesPen(int style, int width, ColorRef color);
    int SetGridPen(int style, int width, ColorRef color);
    int SetCriticalPen(int style, int width, ColorRef color);
    int SetAxisPenAt(int index, int style, int width, ColorRef color);
    int SetSeriesPenAt(int index, int style, int width, ColorRef color);
    int SetFont(const FontDesc* font);
    int SetTextColors(ColorRef text, ColorRef background);
    int SetSeriesTextColors(int index, ColorRef text, ColorRef background);

    // --- drawing ----------------------------------------------------------------------------
    // Draws the diagram into rect on the surface; returns 1.
    int Paint(Surface& surface, const Rect& rect);

protected:
    struct State;
    State& state();
    const State& state() const;

private:
    bool ReadConfiguration(ConfigReader& reader);

    std::unique_ptr<State> state_;
    mutable std::recursive_mutex lock_;
};

// Holds a model's lock for a scope.
class WindRoseLock {
public:
    explicit WindRoseLock(const WindRose& rose) : rose_(rose) { rose_.Lock(); }
    ~WindRoseLock() { rose_.Unlock(); }
    WindRoseLock(const WindRoseLock&) = delete;
    WindRoseLock& operator=(const WindRoseLock&) = delete;

private:
    const WindRose& rose_;
};

} // namespace quel
