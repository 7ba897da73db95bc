#pragma once
// Names of new profiles: MyProfile.qlmd, MyProfile2.qlmd, ... numbered by the registry value
// "Settings" "NewFileNum", so that the numbering goes on across program runs.

#include <string>

namespace quel::desktop {

// The number at the start of a text as the C library reads a decimal integer: leading blanks
// and a sign allowed, parsing stops at the first other character; 0 when there is none.
// Values beyond the int range are clamped.
int ParseFileNumber(const std::string& text);

// "MyProfile.qlmd" for 1, "MyProfile<n>.qlmd" otherwise.
std::string NewProfileFileName(long long n);

// The next new profile's path in folder (which ends with "/"): the number after "NewFileNum",
// raised further while a file of that name exists, so that an existing profile is never handed
// out again. The number used is written back to "NewFileNum".
std::string MakeNewProfilePath(const std::string& folder);

} // namespace quel::desktop
