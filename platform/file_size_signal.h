#pragma once
// Every program that writes logs or profiles calls this first thing in main. A file size limit
// (ulimit -f) then makes a write that would pass it fail with EFBIG, which the writers handle
// like a full disk, instead of killing the program with SIGXFSZ half-way through a file.

namespace quel {

void IgnoreFileSizeSignal();

} // namespace quel
