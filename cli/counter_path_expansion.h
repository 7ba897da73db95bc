#pragma once
// Wildcards in counter paths: "*" as the instance stands for every instance that exists now,
// "*" as the counter for every counter of the object.

#include "platform/perf_data_source.h"

#include <string>
#include <string_view>
#include <vector>

namespace quel::cli {

// Appends the paths that path stands for (path itself when it has no wildcard or is no
// counter path, so that adding it reports why). False with error set when a wildcard cannot be
// expanded (unknown object, no instances now).
bool ExpandCounterPath(PerfDataSource& source, std::string_view path, std::vector<std::string>& paths,
                       std::string& error);

// The path with "\\host" in front unless it names a computer already.
std::string FullCounterPath(std::string_view path, std::string_view host);

// This machine's host name ("localhost" when it has none).
std::string LocalHostName();

} // namespace quel::cli
