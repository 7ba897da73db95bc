#include "platform/perf_names.h"

#include <array>
#include <utility>

namespace quel {

std::optional<std::string_view> PerfNameByIndex(std::uint32_t index)
{
    static constexpr std::array<std::pair<std::uint32_t, std::string_view>, 23> names = {{
        {2, "System"},
        {4, "Memory"},
        {6, "% Processor Time"},
        {200, "% Disk Time"},
        {234, "PhysicalDisk"},
        {236, "LogicalDisk"},
        {238, "Processor"},
        {248, "Processes"},
        {250, "Threads"},
        {260, "Objects"},
        {314, "Server Sessions"},
        {330, "Server"},
        {388, "Bytes Total/sec"},
        {408, "% Free Space"},
        {510, "Network Interface"},
        {520, "Current Bandwidth"},
        {546, "IPv4"},
        {638, "TCP"},
        {658, "UDPv4"},
        {700, "Paging File"},
        {702, "% Usage"},
        {1350, "% Registry Quota In Use"},
        {1406, "% Committed Bytes In Use"},
    }};
    for (const auto& [key, name] : names) {
        if (key == index)
            return name;
    }
    return std::nullopt;
}

} // namespace quel
