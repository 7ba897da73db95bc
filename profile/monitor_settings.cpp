#include "profile/monitor_settings.h"

#include "windrose/number_text.h"

#include <array>
#include <string_view>

namespace quel {
namespace {

struct SettingsKey {
    std::string_view name;
    std::int32_t MonitorSettings::*field;
};

// The keys in the order the profile writes them (not the field order).
constexpr std::array<SettingsKey, 26> KeysInFileOrder {{
    {"History", &MonitorSettings::History},
    {"Interval", &MonitorSettings::Interval},
    {"AlwaysOntop", &MonitorSettings::AlwaysOntop},
    {"EnableTray", &MonitorSettings::EnableTray},
    {"Caption", &MonitorSettings::Caption},
    {"ShowCurrent", &MonitorSettings::ShowCurrent},
    {"ShowAverage", &MonitorSettings::ShowAverage},
    {"ShowMax", &MonitorSettings::ShowMax},
    {"CurColor", &MonitorSettings::CurColor},
    {"AvgColor", &MonitorSettings::AvgColor},
    {"MaxColor", &MonitorSettings::MaxColor},
    {"BackColor", &MonitorSettings::BackColor},
    {"TextColor", &MonitorSettings::TextColor},
    {"LineColor", &MonitorSettings::LineColor},
    {"CritColor", &MonitorSettings::CritColor},
    {"BoldCur", &MonitorSettings::BoldCur},
    {"BoldAvg", &MonitorSettings::BoldAvg},
    {"BoldMax", &MonitorSettings::BoldMax},
    {"BoldCrit", &MonitorSettings::BoldCrit},
    {"WndLeft", &MonitorSettings::WndLeft},
    {"WndRight", &MonitorSettings::WndRight},
    {"WndTop", &MonitorSettings::WndTop},
    {"WndBottom", &MonitorSettings::WndBottom},
    {"LogMode", &MonitorSettings::LogMode},
    {"LogFormat", &MonitorSettings::LogFormat},
    {"LogFileSize", &MonitorSettings::LogFileSize},
}};

bool InRange(std::int32_t value, int low, int high)
{
    return value >= low && value <= high;
}

} // namespace

Rect DefaultWindowRect(const ScreenSize& screen)
{
    return Rect {12, 9, (screen.width / 5) * 2 + 12, (screen.height / 5) * 2 + 9};
}

MonitorSettings DefaultMonitorSettings(const ScreenSize& screen)
{
    const Rect window = DefaultWindowRect(screen);
    MonitorSettings settings {};
    settings.Interval = 2;
    settings.History = 30;
    settings.Caption = 1;
    settings.AlwaysOntop = 0;
    settings.EnableTray = 1;
    settings.ShowCurrent = 1;
    settings.ShowAverage = 1;
    settings.ShowMax = 0;
    settings.BoldCur = 0;
    settings.BoldAvg = 1;
    settings.BoldMax = 0;
    settings.BoldCrit = 0;
    settings.CurColor = 0x00FFFF;
    settings.AvgColor = 0x00CC00;
    settings.MaxColor = 0xFFFF7F;
    settings.BackColor = 0x000000;
    settings.TextColor = 0xFFFFFF;
    settings.LineColor = 0x808080;
    settings.CritColor = 0x0000FF;
    settings.WndLeft = window.left;
    settings.WndTop = window.top;
    settings.WndRight = window.right;
    settings.WndBottom = window.bottom;
    settings.LogMode = 2;
    settings.LogFormat = 0;
    settings.LogFileSize = 64;
    return settings;
}

bool WindowRectFits(const MonitorSettings& settings, const ScreenSize& screen)
{
    return settings.WndLeft < settings.WndRight && settings.WndTop < settings.WndBottom
        && settings.WndRight <= screen.width && settings.WndBottom <= screen.height
        && settings.WndLeft >= 0 && settings.WndTop >= 0;
}

void WriteProfileHeader(ConfigWriter& file)
{
    file.Line("");
    file.Line(ProfileHeader);
    file.Line("");
}

void WriteSettingsKeys(ConfigWriter& file, const MonitorSettings& settings)
{
    for (const SettingsKey& key : KeysInFileOrder)
        file.Key(key.name, static_cast<int>(settings.*key.field));
}

void WriteCounterLine(ConfigWriter& file, const std::string& path)
{
    file.Key(CounterKey, path);
}

SettingsKeyResult ReadSettingsKey(MonitorSettings& settings, const std::string& key, const std::string& value)
{
    for (const SettingsKey& entry : KeysInFileOrder) {
        if (entry.name != key)
            continue;
        const std::int32_t number = ReadDecimalInt(value);
        if (entry.field == &MonitorSettings::History && !InRange(number, MinHistory, MaxHistory))
            return SettingsKeyResult::OutOfRange;
        if (entry.field == &MonitorSettings::Interval && !InRange(number, MinInterval, MaxInterval))
            return SettingsKeyResult::OutOfRange;
        settings.*entry.field = number;
        return SettingsKeyResult::Taken;
    }
    return SettingsKeyResult::Unknown;
}

} // namespace quel
