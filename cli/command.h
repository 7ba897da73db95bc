#pragma once
// What every quelmonctl command shares: its output streams, exit codes and error lines.

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quel::cli {

inline constexpr const char* ProgramName = "quelmonctl";

enum ExitCode : int {
    ExitSuccess = 0,
    ExitFindings = 1,  // check found something, or a command partly failed
    ExitUsage = 2,     // bad command line or unreadable input
};

struct CommandStreams {
    std::ostream& out;
    std::ostream& err;
};

// "quelmonctl COMMAND: message" on one line of err.
void ReportError(std::ostream& err, std::string_view command, std::string_view message);

// The usage error of a command: the message and a hint to its help, exit code 2.
int UsageError(std::ostream& err, std::string_view command, std::string_view message);

using Arguments = std::vector<std::string>;

// Text from a file or the command line made safe for one line of a terminal: control
// characters as \xNN, and at most limit characters (then "...").
std::string Printable(std::string_view text, std::size_t limit = 100);

} // namespace quel::cli
