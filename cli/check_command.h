#pragma once
// quelmonctl check PROFILE [--screen WxH]: reports what the programs would ignore or correct in
// a profile, then prints the profile as they would save it.

#include "cli/command.h"
#include "platform/perf_data_source.h"

namespace quel::cli {

extern const char* const CheckHelp;

int RunCheck(const Arguments& args, PerfDataSource& source, CommandStreams io);

} // namespace quel::cli
