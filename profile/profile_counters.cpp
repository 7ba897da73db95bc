#include "profile/profile_counters.h"

#include "profile/monitor_settings.h"
#include "windrose/config_keys.h"
#include "windrose/config_reader.h"
#include "windrose/wind_rose.h"

namespace quel {

std::vector<std::string> ProfileCounterPaths(std::string_view text)
{
    std::vector<std::string> paths;
    ConfigReader reader(text);
    ConfigLine line;
    bool inAxis = false;
    int axes = 0;
    while (reader.Next(line)) {
        if (line.key == BeginAxisMarker) {
            if (axes == WindRose::DefaultAxisCapacity)
                break;
            ++axes;
            inAxis = true;
        } else if (line.key == EndAxisMarker) {
            inAxis = false;
        } else if (inAxis && line.key == CounterKey) {
            paths.resize(static_cast<std::size_t>(axes));
            paths.back() = line.value;
        }
    }
    return paths;
}

} // namespace quel
