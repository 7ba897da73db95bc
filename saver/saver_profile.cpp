#include "saver/saver_profile.h"

#include "profile/profile_file.h"

namespace quel::saver {

bool IsLoadableProfile(const std::string& path, std::string& reason)
{
    if (path.empty()) {
        reason = "no profile chosen";
        return false;
    }
    const ProfileFile file = ProfileFile::Read(path);
    reason = file.Reason();
    return file.IsProfile();
}

bool LoadSaverProfile(CounterMonitor& monitor, const std::string& path)
{
    monitor.RemoveAllAxes();
    // The gate reads the file once; its text is what loads.
    const bool loaded = !path.empty() && monitor.LoadProfile(path, ProfileFile::Read(path)) && monitor.GetAxisCount() > 0;
    if (!loaded) {
        // A file that failed half way may have changed settings or added axes.
        monitor.RemoveAllAxes();
        monitor.ResetSettings();
        monitor.SetUpDefaultProfile();
        MonitorSettings settings = monitor.GetSettings();
        settings.Interval = FallbackInterval;
        settings.LogMode = 0;
        monitor.ApplySettings(settings);
    }
    monitor.ApplyDisplaySettings();
    return loaded;
}

} // namespace quel::saver
