#pragma once
// ProcFile: one procfs or sysfs file kept open and read again from offset 0 with pread, which
// makes the kernel regenerate its content and costs one system call instead of open, read and
// close. Only regular files are read, opened without blocking. The buffer grows to the largest
// content seen and is then reused.

#include "platform/unique_fd.h"

#include <string>
#include <string_view>
#include <vector>

namespace quel {

class ProcFile {
public:
    ProcFile() = default;
    explicit ProcFile(std::string path);

    // Reads the whole file; content stays valid until the next Read. A failed read closes the
    // file and tries once more with a fresh descriptor (the file may have been replaced).
    bool Read(std::string_view& content);
    const std::string& Path() const { return path_; }
    void SetPath(std::string path);
    void Close();

private:
    bool Open();
    bool ReadOpen(std::string_view& content);

    std::string path_;
    UniqueFd fd_;
    std::vector<char> buffer_;
};

} // namespace quel
