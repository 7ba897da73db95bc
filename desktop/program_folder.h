#pragma once
// Where the desktop program lives and where it may write.

#include <string>

namespace quel::desktop {

// The folder of the running program (the target of /proc/self/exe) with a trailing "/", or an
// empty string when it cannot be found.
std::string GetProgramFolder();

// The folder new profiles go to, by the program-folder rule of platform/program_folders.h: the
// program's folder when it is writable, otherwise the per-user data folder (made when missing).
// Always ends with "/" unless empty.
std::string NewProfileFolder(const std::string& programFolder);

} // namespace quel::desktop
