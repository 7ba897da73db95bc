#pragma once
// The profile of a log read back, given or the one beside it (log/log_history.h's
// ProfileBesideLog). The profile gives the columns' axes: critical values, bounds, colours.

#include "cli/profile_loading.h"
#include "engine/counter_monitor.h"
#include "log/log_data.h"
#include "log/log_history.h"

#include <optional>
#include <string>

namespace quel::cli {

struct LogProfile {
    bool loaded = false;
    std::string path;  // the profile read, or looked for
    std::string note;  // why there is none, when there is none
};

// Loads the profile given (failure: false with error) or, without one, the one beside the log
// when there is one (else a note says why there is none) into monitor.
bool LoadLogProfile(CounterMonitor& monitor, const std::optional<std::string>& given, const std::string& logPath,
                    const LogData& log, LogProfile& profile, std::string& error);

} // namespace quel::cli
