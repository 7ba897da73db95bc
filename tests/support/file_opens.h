#pragma once
// Counts the opens of one file by any process (inotify IN_OPEN), so that a test can check that
// a program reads a file once.

#include <string>

namespace quel::test {

class FileOpens {
public:
    explicit FileOpens(const std::string& path);
    ~FileOpens();
    FileOpens(const FileOpens&) = delete;
    FileOpens& operator=(const FileOpens&) = delete;

    // The opens since construction or the last call (events already queued).
    int Take();

private:
    int fd_ = -1;
};

} // namespace quel::test
