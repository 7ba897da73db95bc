#pragma once
// The lines of a profile that its reader cannot take whole, found from the raw bytes: lines
// longer than the reader's pieces (the rest is read as a line of its own) and lines holding a
// NUL byte (the rest is ignored). Line ends as the reader counts them: LF, or CR LF.

#include "cli/profile_check.h"

#include <string_view>
#include <vector>

namespace quel::cli {

// Appends one finding per such line of text.
void ScanRawLines(std::string_view text, std::vector<Finding>& findings);

} // namespace quel::cli
