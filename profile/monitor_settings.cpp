#include "profile/monitor_settings.h"

#include "windrose/number_text.h"

#include <array>
#include <limits>
#include <string_view>

namespace quel {
namespace {

constexpr std::int32_t AnyLow = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t AnyHigh = std::numeric_limits<std::int32_t>::max();

// The keys in the order the profile writes them (not the field order). A key with a range is
// taken only when its value lies in it.
constexpr std::array<SettingsKey, 26> KeysInFileOrder {{
    {"History", &MonitorSettings::History, MinHistory, MaxHistory},
    {"Interval", &MonitorSettings::Interval, MinInterval, MaxInterval},
    {"AlwaysOntop", &MonitorSettings::AlwaysOntop, AnyLow, AnyHigh},
    {"EnableTray", &MonitorSettings::EnableTray, AnyLow, AnyHigh},
    {"Caption", &MonitorSettings::Caption, AnyLow, AnyHigh},
    {"ShowCurrent", &MonitorSettings::ShowCurrent, AnyLow, AnyHigh},
    {"ShowAverage", &MonitorSettings::ShowAverage, AnyLow, AnyHigh},
    {"ShowMax", &MonitorSettings::ShowMax, AnyLow, AnyHigh},
    {"CurColor", &MonitorSettings::CurColor, AnyLow, AnyHigh},
    {"AvgColor", &MonitorSettings::AvgColor, AnyLow, AnyHigh},
    {"MaxColor", &MonitorSettings::MaxColor, AnyLow, AnyHigh},
    {"BackColor", &MonitorSettings::BackColor, AnyLow, AnyHigh},
    {"TextColor", &MonitorSettings::TextColor, AnyLow, AnyHigh},
    {"LineColor", &MonitorSettings::LineColor, AnyLow, AnyHigh},
    {"CritColor", &MonitorSettings::CritColor, AnyLow, AnyHigh},
    {"BoldCur", &MonitorSettings::BoldCur, AnyLow, AnyHigh},
    {"BoldAvg", &MonitorSettings::BoldAvg, AnyLow, AnyHigh},
    {"BoldMax", &MonitorSettings::BoldMax, AnyLow, AnyHigh},
    {"BoldCrit", &MonitorSettings::BoldCrit, AnyLow, AnyHigh},
    {"WndLeft", &MonitorSettings::WndLeft, AnyLow, AnyHigh},
    {"WndRight", &MonitorSettings::WndRight, AnyLow, AnyHigh},
    {"WndTop", &MonitorSettings::WndTop, AnyLow, AnyHigh},
    {"WndBottom", &MonitorSettings::WndBottom, AnyLow, AnyHigh},
    {"LogMode", &MonitorSettings::LogMode, AnyLow, AnyHigh},
    {"LogFormat", &MonitorSettings::LogFormat, AnyLow, AnyHigh},
    {"LogFileSize", &MonitorSettings::LogFileSize, MinLogFileSize, MaxLogFileSize},
}};

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

const SettingsKey* FindSettingsKey(std::string_view key)
{
    for (const SettingsKey& entry : KeysInFileOrder) {
        if (entry.name == key)
            return &entry;
    }
    return nullptr;
}

SettingsKeyResult ReadSettingsKey(MonitorSettings& settings, const std::string& key, const std::string& value)
{
    const SettingsKey* entry = FindSettingsKey(key);
    if (entry == nullptr)
        return SettingsKeyResult::Unknown;
    const std::int32_t number = ReadDecimalInt(value);
    if (!entry->Accepts(number))
        return SettingsKeyResult::OutOfRange;
    settings.*entry->field = number;
    return SettingsKeyResult::Taken;
}

} // namespace quel
