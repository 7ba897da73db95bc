#pragma once
// Reading files that come from users or from the system without trusting them: a FIFO, a
// device or a folder in a file's place never blocks or confuses the reader, and a file larger
// than the caller expects is refused before it is read.

#include "platform/unique_fd.h"

#include <cstddef>
#include <string>

namespace quel {

enum class FileFailure {
    None,
    Missing,     // no such file (ENOENT)
    NotRegular,  // a folder, FIFO, device or socket
    TooLarge,    // more bytes than the limit
    Failed,      // any other error: permissions, I/O
};

struct FileProblem {
    FileFailure failure = FileFailure::None;
    std::string reason;  // for the user: "No such file or directory", "not a regular file", ...
};

// Opens path read-only without blocking (O_NONBLOCK, so a FIFO does not wait for a writer)
// and close-on-exec, and accepts it only when the descriptor is a regular file. On failure fd
// stays invalid and problem says why.
bool OpenRegularFile(const std::string& path, UniqueFd& fd, FileProblem& problem);

// The whole content of a regular file of at most limit bytes, read through OpenRegularFile.
bool ReadRegularFile(const std::string& path, std::size_t limit, std::string& text, FileProblem& problem);

// "larger than 1 MiB" and the like, for messages about a limit.
std::string SizeText(std::size_t bytes);

} // namespace quel
