#pragma once
// LogFile: the open log. It keeps track of the file's size and of how the file ends, so that
// writing over the footer costs the same whatever the file's size, and so that only a footer
// that is really there is ever written over. Every write is one system call made whole or
// undone, and writers of one log (other programs, other writer objects) take turns through an
// advisory lock on the file.

#include <string_view>

namespace quel {

inline constexpr std::string_view HeaderFooter = "<a name=end></body></html>";
inline constexpr std::string_view TableFooter = "</table><a name=end></body></html>";

enum class LogEnding {
    Empty,    // nothing in the file
    Header,   // ends with HeaderFooter (and not with TableFooter)
    Table,    // ends with TableFooter
    Foreign,  // ends with anything else
};

class LogFile {
public:
    LogFile() = default;
    ~LogFile() { Close(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens an existing file for reading and writing, or for appending only.
    bool Open(const char* path, bool appendOnly);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Takes (nested calls: keeps) and gives back the advisory lock on the open file; Close
    // gives it back as well. While it is held, no other writer of the file writes.
    void Lock();
    void Unlock();
    // Whether path still names the open file (another writer may have rotated it away).
    bool IsAt(const char* path) const;

    // Looks at the file's size again (one system call) and, when it is not the size this
    // object wrote, at its ending: others may have truncated or extended it.
    void Refresh();
    long long Size();
    LogEnding Ending();
    // Writes text at offset (at the end for an append-only file) with one write call. When not
    // all of it goes through (a full disk, a file size limit), the file is put back as it was:
    // replaced, the bytes the text was written over, is written back at offset and the file
    // is cut after it. Returns 0, or the error number of the failure.
    int WriteAt(long long offset, std::string_view text, std::string_view replaced = {});

private:
    void Inspect(long long size);
    void Undo(long long offset, std::string_view replaced);

    int fd_ = -1;
    bool appendOnly_ = false;
    int lockDepth_ = 0;
    bool known_ = false;  // size_ and ending_ describe the file
    long long size_ = 0;
    LogEnding ending_ = LogEnding::Empty;
};

// Holds the lock of a log file for a scope.
class LogFileLock {
public:
    explicit LogFileLock(LogFile& file) : file_(file) { file_.Lock(); }
    ~LogFileLock() { file_.Unlock(); }
    LogFileLock(const LogFileLock&) = delete;
    LogFileLock& operator=(const LogFileLock&) = delete;

private:
    LogFile& file_;
};

} // namespace quel
