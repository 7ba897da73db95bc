#pragma once
// One set of files that every program must judge alike: profiles as the programs write them
// and as users write them by hand, and files that are clearly something else. Each program's
// tests run it over the set and compare its verdict with the one expected here.

#include "temp_folder.h"

#include <filesystem>
#include <string>
#include <vector>

namespace quel::test {

struct VerdictCase {
    std::string name;            // what the file is, for messages
    std::filesystem::path path;
    bool isProfile = false;
    std::string reason;          // why it is refused; empty for a profile
};

// Makes the files in folder: a profile without the header but with axes, one with the header
// and no axes, an empty file, a binary one, one of 2 MiB, a FIFO, a folder, a symbolic link to
// a profile and a copy of /etc/passwd. The profiles with axes log every sample each second.
std::vector<VerdictCase> MakeProfileVerdictSet(const TempFolder& folder);

} // namespace quel::test
