#pragma once
// The systemd unit that runs the service.

#include <string>

namespace quel {

// The unit file for the program at this absolute path.
std::string ServiceUnitText(const std::string& programPath);

// A path as one word of ExecStart=: specifiers ("%") and variables ("$") escaped, and quoted
// when it holds characters systemd would split or unescape. False for a path that cannot be
// written on one line.
bool ExecStartWord(const std::string& path, std::string& word);

} // namespace quel
