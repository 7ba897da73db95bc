#pragma once
// Writing files whole: every byte of a buffer, and replacing a file without ever destroying the
// previous one.

#include <string>
#include <string_view>

namespace quel {

// Writes all of content to fd, going on after interruptions and short writes. False (errno set)
// when a write fails.
bool WriteAll(int fd, std::string_view content);

// Writes content to a temporary file in the folder of path (with the permissions of the file it
// replaces, if any), flushes it to the disk, closes it and renames it over path. A symbolic link
// at path is followed, so the file it points to is replaced and the link stays. On any failure
// the temporary file is removed, path is left as it was and false is returned.
bool WriteFileAtomically(const std::string& path, std::string_view content);

} // namespace quel
