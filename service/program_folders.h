#pragma once
// Where the service may write when its own folder is read-only.

#include <string>

namespace quel {

// The writable fallback folder, with a trailing "/": $XDG_DATA_HOME/Quellarimond/ when set,
// else /var/lib/quellarimond/ for root, else ~/.local/share/Quellarimond/; empty when there is
// none (no HOME). Never depends on HOME for root.
std::string DataFolder();

// Whether logs can be written into the "Logs" folder of this folder (created when missing);
// otherwise reason says why.
bool LogFolderWritable(const std::string& folder, std::string& reason);

// Creates a folder and its parents; false (reason set) when that fails.
bool MakeFolder(const std::string& folder, std::string& reason);

} // namespace quel
