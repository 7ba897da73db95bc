#pragma once
// The counter paths a profile's axes name, read from its text as the monitor's load reads them
// (axis sections only, the last "Counter" line of a section, at most a full axis table), for
// questions about a profile that need no monitor.

#include <string>
#include <string_view>
#include <vector>

namespace quel {

std::vector<std::string> ProfileCounterPaths(std::string_view text);

} // namespace quel
