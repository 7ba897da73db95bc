#pragma once
// The counter and instance names of an object, read from a PerfDataSource with its two-call
// size protocol, as plain lists.

#include "platform/perf_data_source.h"

#include <string>
#include <string_view>
#include <vector>

namespace quel {

// Splits a list of NUL-terminated names ended by an empty name (or by the buffer's end).
std::vector<std::string> SplitNameList(const char* buffer, std::size_t length);

// Asks for the sizes, then for the lists; asks again when the instances changed in between.
// computer: empty for this one, else a computer part such as "web01:9100".
PerfStatus ReadObjectItems(PerfDataSource& source, std::string_view object, std::vector<std::string>& counters,
                           std::vector<std::string>& instances, std::string_view computer = {});

} // namespace quel
