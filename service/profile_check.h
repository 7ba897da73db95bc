#pragma once
// A look at a profile file before it is loaded. Loading reads any text without complaint, so a
// folder, a device or a binary file would "load" as an empty profile and log nothing at all.

#include <string>

namespace quel {

// True when the file is a readable text file of reasonable size with at least one axis
// section; otherwise reason says what is wrong with it.
bool CheckProfileFile(const std::string& path, std::string& reason);

} // namespace quel
