#pragma once
// quelmonctl report LOG [--profile P] [--from TIME] [--to TIME] [--csv]: what a log holds,
// its span and sections, and per column the samples, minimum, mean, maximum, the share at or
// above the critical value and the longest critical episode.

#include "cli/command.h"
#include "platform/perf_data_source.h"

namespace quel::cli {

extern const char* const ReportHelp;

int RunReport(const Arguments& args, PerfDataSource& source, CommandStreams io);

} // namespace quel::cli
