#include "cli/log_profile.h"

#include <filesystem>

namespace quel::cli {
namespace {

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

} // namespace quel::cli
