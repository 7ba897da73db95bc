#pragma once
// Where the running program lives, and the rule for where it writes: the preferred folder
// (the program's own, or a profile's) when it can be written, else a data folder.

#include <string>

namespace quel {

// The folder of the running program (the target of /proc/self/exe) with a trailing "/", or an
// empty string when it cannot be found.
std::string ProgramFolder();

// $XDG_DATA_HOME/Quellarimond/ when XDG_DATA_HOME is an absolute path, else
// $HOME/.local/share/Quellarimond/, with a trailing "/"; empty when neither is usable.
std::string UserDataFolder();

// For a program that may run as a system service: $XDG_DATA_HOME/Quellarimond/ when that is
// an absolute path, else /var/lib/quellarimond/ for root (never HOME, which systemd does not
// set), else UserDataFolder().
std::string DataFolder();

// The folder with a trailing "/" (an empty folder stays empty).
std::string WithSlash(std::string folder);

// The one test of a folder to write into: an existing folder this process may write and enter.
// False with the reason otherwise.
bool WritableFolder(const std::string& folder, std::string& reason);

struct FolderChoice {
    std::string folder;            // preferred or fallback, with a trailing "/"; empty when neither
    std::string preferredProblem;  // why the preferred folder is not used; empty when it is
    std::string fallbackProblem;   // why the fallback is not used either; set when folder is empty
};

// The preferred folder when its sub-folder sub (made when missing; "" for the folder itself)
// can be written, else the fallback folder when its sub can (the fallback and sub are made with
// their parents). The preferred folder itself is never made: a missing one is not used.
FolderChoice ChooseWritableFolder(const std::string& preferred, const std::string& fallback, const std::string& sub = "");

} // namespace quel
