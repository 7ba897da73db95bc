#pragma once
// quelmonctl rules PROFILE: the profile's critical values as Prometheus alerting rules over
// the service's /metrics page.

#include "cli/command.h"
#include "platform/perf_data_source.h"

namespace quel::cli {

extern const char* const RulesHelp;

int RunRules(const Arguments& args, PerfDataSource& source, CommandStreams io);

} // namespace quel::cli
