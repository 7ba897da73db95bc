#pragma once
// quelmonctl list [OBJECT...] [--no-instances]: the provider's objects, or the counter paths of
// the given objects.

#include "cli/command.h"
#include "platform/perf_data_source.h"

namespace quel::cli {

extern const char* const ListHelp;

int RunList(const Arguments& args, PerfDataSource& source, CommandStreams io);

} // namespace quel::cli
