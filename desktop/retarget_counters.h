#pragma once
// Pointing every counter of a profile at another computer (Connect to...).

#include <string>

namespace quel {
class CounterMonitor;
}

namespace quel::desktop {

// Removes the machine part "\\old" of a counter path (when a further "\" follows it) and puts
// "\\computer" in front when computer is not empty. So \\old\Memory\Available Bytes becomes
// \\srv1\Memory\Available Bytes, or \Memory\Available Bytes for an empty name.
std::string RetargetCounterPath(const std::string& path, const std::string& computer);

// Rewrites the counter path of every axis. Sampling must be stopped.
void RetargetAxes(CounterMonitor& monitor, const std::string& computer);

} // namespace quel::desktop
