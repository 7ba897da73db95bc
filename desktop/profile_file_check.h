#pragma once
// Whether a file is a profile at all before the document reads it: a file that is not (an
// image dropped by mistake, a text file) is refused, so that the program never later saves a
// profile over it.

#include <string>

namespace quel::desktop {

// True when the path names a regular file that can be read and whose first non-blank line is
// the profile header.
bool IsProfileFile(const std::string& path);

} // namespace quel::desktop
