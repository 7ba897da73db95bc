#pragma once
// The systemd unit that runs the service.

#include <string>

namespace quel {

// The unit file for the program at this absolute path.
std::string ServiceUnitText(const std::string& programPath);

// A program path as the command of ExecStart=: specifiers ("%") escaped, and quoted when it
// holds blanks or ";". systemd takes the command's "$" literally. False, with the reason in
// problem, for a path systemd does not run: not absolute, not UTF-8, or holding a control
// character (tab and line breaks included), a quote or a backslash.
bool ExecStartWord(const std::string& path, std::string& word, std::string& problem);

} // namespace quel
