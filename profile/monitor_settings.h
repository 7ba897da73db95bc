#pragma once
// MonitorSettings: the 26 options of a monitoring profile, and the profile file's own lines
// (header, the 26 keys, the "Counter" line of an axis).

#include "windrose/config_writer.h"
#include "windrose/wind_rose_types.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quel {

struct ScreenSize {
    int width = 1024;
    int height = 768;
};

// Field order is the order of storage; the profile writes the keys in another order.
struct MonitorSettings {
    std::int32_t Interval;     // seconds between samples, 1..120
    std::int32_t History;      // samples in the average, 2..120
    std::int32_t Caption;
    std::int32_t AlwaysOntop;
    std::int32_t EnableTray;
    std::int32_t ShowCurrent;
    std::int32_t ShowAverage;
    std::int32_t ShowMax;
    std::int32_t BoldCur;
    std::int32_t BoldAvg;
    std::int32_t BoldMax;
    std::int32_t BoldCrit;
    std::int32_t CurColor;     // colour references, 0x00BBGGRR
    std::int32_t AvgColor;
    std::int32_t MaxColor;
    std::int32_t BackColor;
    std::int32_t TextColor;
    std::int32_t LineColor;
    std::int32_t CritColor;
    std::int32_t WndLeft;      // main window rectangle, screen pixels
    std::int32_t WndTop;
    std::int32_t WndRight;
    std::int32_t WndBottom;
    std::int32_t LogMode;      // 0 off, 1 every update, 2 value changes, 3 state changes
    std::int32_t LogFormat;    // 0 HTML, 1 CSV
    std::int32_t LogFileSize;  // size limit of the current log, KB, 1..10240
    friend bool operator==(const MonitorSettings&, const MonitorSettings&) = default;
};

constexpr int MinInterval = 1, MaxInterval = 120;
constexpr int MinHistory = 2, MaxHistory = 120;
// Below 1 KB the log would rotate at every row and keep nothing.
constexpr int MinLogFileSize = 1, MaxLogFileSize = 10240;

// The settings of a new monitor on a screen of this size.
MonitorSettings DefaultMonitorSettings(const ScreenSize& screen);
// The default window rectangle: 12, 9, (width / 5) * 2 + 12, (height / 5) * 2 + 9.
Rect DefaultWindowRect(const ScreenSize& screen);
// Whether the stored window rectangle is well-formed and lies on the screen.
bool WindowRectFits(const MonitorSettings& settings, const ScreenSize& screen);

inline constexpr const char* ProfileHeader = "# QUELLARIMOND CONFIGURATION FILE. DO NOT MODIFY!";
inline constexpr const char* CounterKey = "Counter";

// Empty line, the header, empty line.
void WriteProfileHeader(ConfigWriter& file);
// The 26 keys in the file's order: History, Interval, AlwaysOntop, EnableTray, Caption, ...
void WriteSettingsKeys(ConfigWriter& file, const MonitorSettings& settings);
// An axis's "Counter" line.
void WriteCounterLine(ConfigWriter& file, const std::string& path);

// One of the 26 keys: its name in the file, its field, and the values the reader takes.
struct SettingsKey {
    std::string_view name;
    std::int32_t MonitorSettings::*field;
    std::int32_t low;
    std::int32_t high;
    bool Accepts(std::int32_t value) const { return value >= low && value <= high; }
};
// The key of that name; null for any other text.
const SettingsKey* FindSettingsKey(std::string_view key);

enum class SettingsKeyResult {
    Taken,       // a settings key; the value was stored
    OutOfRange,  // History, Interval or LogFileSize outside its range; the previous value stays
    Unknown,     // not a settings key
};
// Reads one key line of the profile into the settings (decimal integer by the C rules).
SettingsKeyResult ReadSettingsKey(MonitorSettings& settings, const std::string& key, const std::string& value);

} // namespace quel
