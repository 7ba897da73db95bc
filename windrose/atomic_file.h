#pragma once
// Replacing a file's contents without ever destroying the previous file.

#include <string>
#include <string_view>

namespace quel {

// Writes content to a temporary file in the folder of path (with the permissions of the file it
// replaces, if any), flushes it to the disk, closes it and renames it over path. A symbolic link
// at path is followed, so the file it points to is replaced and the link stays. On any failure
// the temporary file is removed, path is left as it was and false is returned.
bool WriteFileAtomically(const std::string& path, std::string_view content);

} // namespace quel
