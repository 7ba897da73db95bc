#pragma once
// quelmonctl sample [-i SECONDS] [-n COUNT] [-o FILE] PATH...: samples counters as CSV.

#include "cli/command.h"
#include "platform/perf_data_source.h"

namespace quel::cli {

extern const char* const SampleHelp;

int RunSample(const Arguments& args, PerfDataSource& source, CommandStreams io);

} // namespace quel::cli
