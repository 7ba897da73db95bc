#pragma once
// Where the running program lives and the per-user folder it may write to instead.

#include <string>

namespace quel {

// The folder of the running program (the target of /proc/self/exe) with a trailing "/", or an
// empty string when it cannot be found.
std::string ProgramFolder();

// $XDG_DATA_HOME/Quellarimond/ when XDG_DATA_HOME is an absolute path, else
// $HOME/.local/share/Quellarimond/, with a trailing "/"; empty when neither is usable.
std::string UserDataFolder();

// The folder with a trailing "/" (an empty folder stays empty).
std::string WithSlash(std::string folder);

} // namespace quel
