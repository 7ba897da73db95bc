#include "desktop/retarget_counters.h"

#include "engine/counter_monitor.h"

#include <memory>

namespace quel::desktop {

std::string RetargetCounterPath(const std::string& path, const std::string& computer)
{
    std::string result = path;
    if (result.rfind("\\\\", 0) == 0) {
        const std::size_t next = result.find('\\', 2);
        if (next != std::string::npos)
            result.erase(0, next);
    }
    if (!computer.empty())
        result = "\\\\" + computer + result;
    return result;
}

void RetargetAxes(CounterMonitor& monitor, const std::string& computer)
{
    WindRoseLock guard(monitor);
    const int count = monitor.GetAxisCount();
    for (int i = 0; i < count; ++i) {
        std::string path;
        monitor.GetCounterPath(i, path);
        monitor.SetAxisData(i, std::make_unique<CounterPathData>(RetargetCounterPath(path, computer)));
    }
}

} // namespace quel::desktop
