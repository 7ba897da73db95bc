#pragma once
// quelmonctl render PROFILE|--default -o FILE.png|FILE.svg [--size WxH] [--wait SECONDS]:
// samples a profile for a while and paints its wind rose into an image, without a display.

#include "cli/command.h"
#include "platform/perf_data_source.h"

namespace quel::cli {

extern const char* const RenderHelp;

int RunRender(const Arguments& args, PerfDataSource& source, CommandStreams io);

} // namespace quel::cli
