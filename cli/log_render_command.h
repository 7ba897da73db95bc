#pragma once
// quelmonctl render --log LOG --at TIME [--profile P] -o FILE.png|FILE.svg [--size WxH]: the
// wind rose of a moment in a log: current line the row at or just before TIME, average and
// maximal lines the mean and maximum of the rows up to it.

#include "cli/command.h"
#include "platform/perf_data_source.h"

namespace quel::cli {

// Whether render's arguments ask for a moment of a log (--log, before any "--").
bool AsksForLogRender(const Arguments& args);

int RunRenderLog(const Arguments& args, PerfDataSource& source, CommandStreams io);

} // namespace quel::cli
