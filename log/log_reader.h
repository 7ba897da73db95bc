#pragma once
// Reading a log this monitor wrote (HTML or CSV, current or backup file) back into a LogData.
// A file that is not such a log is refused; a damaged or cut one is read up to the damage.
// Either way the message says what was found and on which line.

#include "log/log_data.h"

#include <string>
#include <string_view>

namespace quel {

// The largest log read back: far beyond any size limit a profile sets.
inline constexpr long long MaxLogBytes = 256LL * 1024 * 1024;

enum class LogReadStatus {
    Complete,  // read to its end
    Damaged,   // read up to the damage the message names
    Refused,   // not a log of this monitor, or not readable: nothing read
};

struct LogReading {
    LogReadStatus status = LogReadStatus::Refused;
    std::string message;  // empty when complete
};

// Reads the file at path into data (a regular file of at most maxBytes).
LogReading ReadLog(const std::string& path, LogData& data, long long maxBytes = MaxLogBytes);
// Reads a log's text into data.
LogReading ReadLogText(std::string_view text, LogData& data);

} // namespace quel
