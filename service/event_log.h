#pragma once
// EventLog: the service's entries in the system log (syslog, facility daemon, identity
// "Quellarimond"), read with `journalctl -t Quellarimond`.

#include <string>

namespace quel {

class EventLog {
public:
    // One error entry made of two strings: "<source> error: <code>" and the text.
    static void ReportError(int code, const std::string& text);
    // A problem the service worked around (a profile it could not use, a log it moved).
    static void ReportWarning(const std::string& text);
    // The first string of an error entry.
    static std::string ErrorTitle(int code);
};

} // namespace quel
