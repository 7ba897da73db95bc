#pragma once
// The profile the screen saver shows, or the standard counter set when it has none it can use.

#include "engine/counter_monitor.h"

#include <string>

namespace quel::saver {

// The fallback samples every 4 seconds and writes no log.
inline constexpr int FallbackInterval = 4;

// Whether the file is a profile the saver can load; reason says why not.
bool IsLoadableProfile(const std::string& path, std::string& reason);

// Loads the profile into the monitor (its axes are replaced); a path that is empty, names no
// profile, does not load or holds no counters gives the standard counter set in its default
// choice with the default settings, Interval 4 and no log. Sampling must be stopped. True when
// the profile itself was loaded.
bool LoadSaverProfile(CounterMonitor& monitor, const std::string& path);

} // namespace quel::saver
