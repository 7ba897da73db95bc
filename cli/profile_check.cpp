#include "cli/profile_check.h"

#include "cli/command.h"
#include "cli/config_value_text.h"
#include "cli/counter_path_expansion.h"
#include "cli/raw_line_scan.h"
#include "platform/counter_path.h"
#include "platform/object_catalog.h"
#include "windrose/config_keys.h"
#include "windrose/config_reader.h"
#include "windrose/number_text.h"
#include "windrose/wind_rose.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <string_view>

namespace quel::cli {
namespace {

// Everything below comes from the reader's own tables, so the checker cannot drift from it.
constexpr int AxisSlots = WindRose::DefaultAxisCapacity;
constexpr std::array<std::string_view, 4> WindowKeys {"WndLeft", "WndTop", "WndRight", "WndBottom"};

bool Contains(const auto& keys, std::string_view key)
{
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

bool IsAxisKey(std::string_view key)
{
    return key == AxisNameKey || key == AxisDescKey || Contains(AxisBoundKeys, key) || key == AxisInverseKey ||
           key == CounterKey;
}

std::string Ordinal(int n)
{
    const int tens = n % 100, ones = n % 10;
    const char* suffix = (tens >= 11 && tens <= 13) || ones == 0 || ones > 3 ? "th" : ones == 1 ? "st" : ones == 2 ? "nd" : "rd";
    return std::to_string(n) + suffix;
}

bool IsGlobalKey(std::string_view key) { return Contains(OptionKeys, key) || FindSettingsKey(key) != nullptr; }

std::string Quoted(std::string_view text) { return "\"" + Printable(text, 60) + "\""; }

struct AxisState {
    int index = 0;  // 1-based for messages
    int beginLine = 0;
    std::string name;
    double minValue = 0.0, maxValue = 0.0, criticalValue = 0.0, multiplier = 1.0;
    std::map<std::string, int> lines;  // line of the last occurrence of each key
};

class ProfileChecker {
public:
    ProfileChecker(const ScreenSize& screen, std::vector<Finding>& findings)
        : screen_(screen), findings_(findings), settings_(DefaultMonitorSettings(screen)), host_(LocalHostName())
    {
    }

    // False once reading stops (a full axis table).
    bool Handle(const ConfigLine& line)
    {
        if (line.key == BeginAxisMarker) {
            CloseAxis();
            if (axisCount_ == AxisSlots) {
                Report(line, "a " + Ordinal(AxisSlots + 1) + " axis section: only " + std::to_string(AxisSlots) +
                                 " axes are read; this line and everything after it are ignored");
                return false;
            }
            axis_ = std::make_unique<AxisState>();
            axis_->index = ++axisCount_;
            axis_->beginLine = line.lineNumber;
        } else if (line.key == EndAxisMarker) {
            CloseAxis();
        } else if (axis_) {
            HandleAxisKey(line);
        } else {
            HandleGlobalKey(line);
        }
        return true;
    }

    void Finish()
    {
        CloseAxis();
        CheckWindow();
    }

private:
    void Report(const ConfigLine& line, std::string message) { Report(line.lineNumber, std::move(message)); }
    void Report(int line, std::string message) { findings_.push_back({line, std::move(message)}); }

    // A key given again: the later line wins.
    void NoteRepeat(std::map<std::string, int>& lines, const ConfigLine& line)
    {
        const auto [it, inserted] = lines.try_emplace(line.key, line.lineNumber);
        if (!inserted) {
            Report(line, line.key + " was already given on line " + std::to_string(it->second)
                             + "; this line's value replaces it");
            it->second = line.lineNumber;
        }
    }

    void CheckInt(const ConfigLine& line)
    {
        if (IsCleanInt(line.value))
            return;
        const std::string reads = FormatInt(ReadDecimalInt(line.value));
        if (Trim(line.value).empty())
            Report(line, line.key + " has no value and reads as " + reads);
        else
            Report(line, Quoted(line.value) + " is not a whole number: " + line.key + " reads as " + reads);
    }

    void CheckReal(const ConfigLine& line)
    {
        if (IsCleanReal(line.value))
            return;
        const std::string reads = FormatFixed(ReadDecimalReal(line.value), 6);
        if (Trim(line.value).empty())
            Report(line, line.key + " has no value and reads as " + reads);
        else
            Report(line, Quoted(line.value) + " is not a number: " + line.key + " reads as " + reads);
    }

    void HandleGlobalKey(const ConfigLine& line)
    {
        if (Contains(OptionKeys, line.key)) {
            CheckInt(line);
            NoteRepeat(globalLines_, line);
            const int value = ReadDecimalInt(line.value);
            if ((line.key == "GridStep" || line.key == "CriticalBorder") && (value < 0 || value > 100))
                Report(line, line.key + " " + FormatInt(value) + " is outside 0..100; it is kept as read");
            return;
        }
        const MonitorSettings before = settings_;
        switch (ReadSettingsKey(settings_, line.key, line.value)) {
        case SettingsKeyResult::OutOfRange:
            ReportOutOfRange(line, before);
            return;
        case SettingsKeyResult::Taken:
            CheckInt(line);
            NoteRepeat(globalLines_, line);
            if (Contains(WindowKeys, line.key))
                windowLines_[line.key] = line.lineNumber;
            return;
        case SettingsKeyResult::Unknown:
            ReportIgnored(line, false);
            return;
        }
    }

    void ReportOutOfRange(const ConfigLine& line, const MonitorSettings& before)
    {
        const SettingsKey& key = *FindSettingsKey(line.key);
        const int kept = before.*key.field;
        const std::string range = FormatInt(key.low) + ".." + FormatInt(key.high);
        const std::string read = FormatInt(ReadDecimalInt(line.value));
        std::string message = IsCleanInt(line.value) ? line.key + " " + read + " is"
                                                     : line.key + " " + Quoted(line.value) + " reads as " + read + ",";
        message += " outside " + range + ": the line is ignored and " + line.key + " stays "
                 + FormatInt(kept);
        Report(line, std::move(message));
    }

    void HandleAxisKey(const ConfigLine& line)
    {
        AxisState& axis = *axis_;
        if (line.key == AxisNameKey || line.key == AxisDescKey) {
            NoteRepeat(axis.lines, line);
            if (line.key == AxisNameKey)
                axis.name = line.value;
        } else if (double* bound = BoundField(axis, line.key)) {
            CheckReal(line);
            NoteRepeat(axis.lines, line);
            *bound = ReadDecimalReal(line.value);
        } else if (line.key == AxisInverseKey) {
            CheckInt(line);
            NoteRepeat(axis.lines, line);
            const int value = ReadDecimalInt(line.value);
            if (value != 0 && value != 1 && IsCleanInt(line.value))
                Report(line, "Inverse " + FormatInt(value) + " reads as 1");
        } else if (line.key == CounterKey) {
            NoteRepeat(axis.lines, line);
            CheckCounterPath(line);
        } else {
            ReportIgnored(line, true);
        }
    }

    static double* BoundField(AxisState& axis, const std::string& key)
    {
        const std::array<double*, AxisBoundKeys.size()> fields {&axis.minValue, &axis.maxValue, &axis.criticalValue,
                                                                &axis.multiplier};
        const auto it = std::find(AxisBoundKeys.begin(), AxisBoundKeys.end(), key);
        return it == AxisBoundKeys.end() ? nullptr : fields[static_cast<std::size_t>(it - AxisBoundKeys.begin())];
    }

    void CheckCounterPath(const ConfigLine& line)
    {
        const std::string& path = line.value;
        const std::string never = "; this axis never gets a value";
        if (path.empty()) {
            Report(line, "empty counter path" + never);
            return;
        }
        CounterPath parts;
        if (!ParseCounterPath(path, parts)) {
            Report(line, Quoted(path) + " is not a counter path (\\Object(instance)\\Counter or \\Object\\Counter)" + never);
            return;
        }
        if (!parts.computer.empty() && !IsLocalComputer(parts.computer, host_))
            return;  // another computer's counters cannot be checked here
        const ObjectFamily* family = FindObjectFamily(parts.object);
        if (family == nullptr) {
            Report(line, "counter path " + Quoted(path) + ": no object " + Quoted(parts.object) + never);
        } else if (!FindCounterIndex(*family, parts.counter)) {
            Report(line, "counter path " + Quoted(path) + ": the object " + Quoted(family->name) + " has no counter "
                             + Quoted(parts.counter) + never);
        } else if (family->hasInstances && !parts.hasInstance) {
            Report(line, "counter path " + Quoted(path) + ": the object " + Quoted(family->name)
                             + " needs an instance in parentheses" + never);
        } else if (!family->hasInstances && parts.hasInstance) {
            Report(line, "counter path " + Quoted(path) + ": the object " + Quoted(family->name) + " has no instances"
                             + never);
        }
    }

    void ReportIgnored(const ConfigLine& line, bool inAxis)
    {
        const std::string_view trimmed = Trim(line.key);
        if (!line.hasEquals && trimmed.empty())
            return;  // a blank line
        const std::string known(trimmed);
        const bool knownHere = inAxis ? IsAxisKey(known) : IsGlobalKey(known);
        const bool marker = known == BeginAxisMarker || known == EndAxisMarker;
        if (line.hasEquals && trimmed.empty()) {
            Report(line, "no key before \"=\"; the line is ignored");
        } else if (trimmed != line.key && (knownHere || marker || IsAxisKey(known) || IsGlobalKey(known))) {
            Report(line, "blanks around " + Quoted(known) + (line.hasEquals ? " and \"=\"" : "")
                             + ": the key " + Quoted(line.key) + " is not recognised and the line is ignored");
        } else if (inAxis && IsGlobalKey(line.key)) {
            Report(line, line.key + " inside an axis section is ignored (it belongs before the first BeginAxis)");
        } else if (!inAxis && IsAxisKey(line.key)) {
            Report(line, line.key + " outside an axis section is ignored (it belongs between BeginAxis and EndAxis)");
        } else if (!line.hasEquals) {
            Report(line, Quoted(line.key) + " is not a key line; it is ignored");
        } else {
            Report(line, std::string(inAxis ? "unknown axis key " : "unknown key ") + Quoted(line.key)
                             + "; the line is ignored");
        }
    }

    // The line of the latest of these keys that the file gave (0 when none).
    static int LatestLine(const std::map<std::string, int>& lines, std::initializer_list<std::string_view> keys)
    {
        int latest = 0;
        for (std::string_view key : keys) {
            if (const auto it = lines.find(std::string(key)); it != lines.end())
                latest = std::max(latest, it->second);
        }
        return latest;
    }

    std::string AxisLabel(const AxisState& axis) const
    {
        std::string label = "axis " + std::to_string(axis.index);
        if (!axis.name.empty())
            label += " (" + Quoted(axis.name) + ")";
        return label;
    }

    void CloseAxis()
    {
        if (!axis_)
            return;
        const AxisState& axis = *axis_;
        std::vector<std::string_view> involved;
        if (axis.minValue > axis.maxValue)
            involved.insert(involved.end(), {"MinValue", "MaxValue"});
        if (axis.criticalValue > axis.maxValue)
            involved.insert(involved.end(), {"CriticalValue", "MaxValue"});
        if (axis.criticalValue < axis.minValue)
            involved.insert(involved.end(), {"CriticalValue", "MinValue"});
        if (!involved.empty()) {
            int line = axis.beginLine;
            for (std::string_view key : involved)
                line = std::max(line, LatestLine(axis.lines, {key}));
            Report(line, AxisLabel(axis) + ": bounds out of order (MinValue " + FormatFixed(axis.minValue, 6)
                             + ", CriticalValue " + FormatFixed(axis.criticalValue, 6) + ", MaxValue "
                             + FormatFixed(axis.maxValue, 6)
                             + "); they are kept, but the programs need MinValue <= CriticalValue <= MaxValue");
        }
        if (axis.multiplier == 0.0)
            Report(LatestLine(axis.lines, {"Multiplier"}),
                   AxisLabel(axis) + ": Multiplier 0 divides every value by zero; the programs refuse it");
        if (!axis.lines.contains(CounterKey))
            Report(axis.beginLine, AxisLabel(axis) + " has no Counter line; it never gets a value");
        axis_.reset();
    }

    void CheckWindow()
    {
        if (WindowRectFits(settings_, screen_))
            return;
        const MonitorSettings& s = settings_;
        std::vector<std::string> reasons;
        std::vector<std::string_view> keys;
        auto reason = [&](bool broken, std::string text, std::initializer_list<std::string_view> involved) {
            if (!broken)
                return;
            reasons.push_back(std::move(text));
            keys.insert(keys.end(), involved);
        };
        const std::string width = FormatInt(screen_.width);
        const std::string height = FormatInt(screen_.height);
        reason(s.WndLeft >= s.WndRight, "WndLeft " + FormatInt(s.WndLeft) + " is not left of WndRight " + FormatInt(s.WndRight),
               {"WndLeft", "WndRight"});
        reason(s.WndTop >= s.WndBottom, "WndTop " + FormatInt(s.WndTop) + " is not above WndBottom " + FormatInt(s.WndBottom),
               {"WndTop", "WndBottom"});
        reason(s.WndRight > screen_.width, "WndRight " + FormatInt(s.WndRight) + " is beyond the width " + width, {"WndRight"});
        reason(s.WndBottom > screen_.height, "WndBottom " + FormatInt(s.WndBottom) + " is beyond the height " + height,
               {"WndBottom"});
        reason(s.WndLeft < 0, "WndLeft " + FormatInt(s.WndLeft) + " is negative", {"WndLeft"});
        reason(s.WndTop < 0, "WndTop " + FormatInt(s.WndTop) + " is negative", {"WndTop"});
        int line = 0;
        for (std::string_view key : keys)
            line = std::max(line, LatestLine(windowLines_, {key}));
        std::string message = "the window rectangle does not fit a " + width + "x" + height + " screen (";
        for (std::size_t i = 0; i < reasons.size(); ++i)
            message += (i ? "; " : "") + reasons[i];
        const Rect fallback = DefaultWindowRect(screen_);
        message += "); the programs use WndLeft " + FormatInt(fallback.left) + ", WndTop " + FormatInt(fallback.top)
                 + ", WndRight " + FormatInt(fallback.right) + ", WndBottom " + FormatInt(fallback.bottom);
        Report(line, std::move(message));
    }

    ScreenSize screen_;
    std::vector<Finding>& findings_;
    MonitorSettings settings_;
    std::string host_;
    std::map<std::string, int> globalLines_;
    std::map<std::string, int> windowLines_;
    std::unique_ptr<AxisState> axis_;
    int axisCount_ = 0;
};

} // namespace

std::vector<Finding> CheckProfile(const std::string& text, const ScreenSize& screen)
{
    std::vector<Finding> findings;
    ScanRawLines(text, findings);
    // The reader's own line splitting, over the text in memory.
    std::FILE* file = text.empty() ? nullptr : ::fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    ProfileChecker checker(screen, findings);
    if (file != nullptr) {
        ConfigReader reader(file);
        ConfigLine line;
        while (reader.Next(line)) {
            if (!checker.Handle(line)) {
                // Nothing after the last axis slot is read: drop what the raw scan found there.
                const int stop = line.lineNumber;
                std::erase_if(findings, [stop](const Finding& f) { return f.line > stop; });
                break;
            }
        }
        std::fclose(file);
    }
    checker.Finish();
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return findings;
}

} // namespace quel::cli
