#include "cli/log_profile.h"

#include "log/log_layout.h"

#include <algorithm>
#include <filesystem>

namespace quel::cli {
namespace {

constexpr const char* ProfileExtension = ".qlmd";

// An axis's name as a column of the log heads it (a CSV head leaves commas out).
std::string ColumnName(const std::optional<std::string>& axisName, LogKind kind)
{
    std::string name = axisName.value_or("");
    if (kind == LogKind::Csv)
        name.erase(std::remove(name.begin(), name.end(), CsvSeparator), name.end());
    return name;
}

// As the programs open a profile: no axes, the default settings, then the file.
bool LoadProfile(CounterMonitor& monitor, const std::string& path, std::string& error)
{
    std::string text;
    if (!ReadProfileText(path, text, error))
        return false;
    monitor.RemoveAllAxes();
    monitor.ResetSettings();
    return LoadProfileText(monitor, text, error);
}

} // namespace

std::string ProfileBesideLog(const std::string& logPath, const LogData& log)
{
    if (log.title.empty() || log.title == "." || log.title == ".." || log.title.find('/') != std::string::npos)
        return {};
    const std::filesystem::path folder = std::filesystem::path(logPath).parent_path();
    return ((folder.empty() ? std::filesystem::path("..") : folder.parent_path()) / (log.title + ProfileExtension)).string();
}

bool LoadLogProfile(CounterMonitor& monitor, const std::optional<std::string>& given, const std::string& logPath,
                    const LogData& log, LogProfile& profile, std::string& error)
{
    if (given) {
        profile.path = *given;
        profile.loaded = LoadProfile(monitor, *given, error);
        if (!profile.loaded)
            error = "cannot read " + *given + ": " + error;
        return profile.loaded;
    }
    profile.path = ProfileBesideLog(logPath, log);
    std::error_code code;
    if (profile.path.empty() || !std::filesystem::exists(profile.path, code)) {
        profile.note = "no profile " + (profile.path.empty() ? std::string("named by the log") : profile.path) +
                       " beside the log; give one with --profile";
        return true;
    }
    std::string reason;
    profile.loaded = LoadProfile(monitor, profile.path, reason);
    if (!profile.loaded)
        profile.note = "cannot read the profile " + profile.path + ": " + reason;
    return true;
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

} // namespace quel::cli
