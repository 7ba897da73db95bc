#pragma once
// The profile of a log read back: its logs lie in the "Logs" folder beside it, and the log's
// title is its base name. The profile gives the columns' axes: critical values, bounds, colours.

#include "cli/profile_loading.h"
#include "engine/counter_monitor.h"
#include "log/log_data.h"

#include <optional>
#include <string>
#include <vector>

namespace quel::cli {

// "<folder>/Logs/<title>-log.html" -> "<folder>/<title>.qlmd"; empty when the title cannot name
// a file there.
std::string ProfileBesideLog(const std::string& logPath, const LogData& log);

struct LogProfile {
    bool loaded = false;
    std::string path;  // the profile read, or looked for
    std::string note;  // why there is none, when there is none
};

// Loads the profile given (failure: false with error) or, without one, the one beside the log
// when there is one (else a note says why there is none) into monitor.
bool LoadLogProfile(CounterMonitor& monitor, const std::optional<std::string>& given, const std::string& logPath,
                    const LogData& log, LogProfile& profile, std::string& error);

// The axis of each column: the first axis not yet taken whose name the log writes as the
// column's name; none when no axis has it.
std::vector<std::optional<int>> MatchColumnsToAxes(const LogData& log, const WindRose& axes);

} // namespace quel::cli
