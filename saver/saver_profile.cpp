#include "saver/saver_profile.h"

#include "service/profile_check.h"

namespace quel::saver {

bool IsLoadableProfile(const std::string& path, std::string& reason)
{
    if (path.empty()) {
        reason = "no profile chosen";
        return false;
    }
    return CheckProfileFile(path, reason);
}

bool LoadSaverProfile(CounterMonitor& monitor, const std::string& path)
{
    monitor.RemoveAllAxes();
    std::string reason;
    const bool loaded = IsLoadableProfile(path, reason) && monitor.LoadFromFile(path) && monitor.GetAxisCount() > 0;
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
