#pragma once
// LogFile: the open log. It keeps track of the file's size and of how the file ends, so that
// writing over the footer costs the same whatever the file's size, and so that only a footer
// that is really there is ever written over.

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

    // Looks at the file's size again (one system call) and, when it is not the size this
    // object wrote, at its ending: others may have truncated or extended it.
    void Refresh();
    long long Size();
    LogEnding Ending();
    // Writes text at offset, or at the end for an append-only file. Returns false when not
    // everything was written; the file is then looked at again before it is trusted.
    bool WriteAt(long long offset, std::string_view text);

private:
    void Inspect(long long size);

    int fd_ = -1;
    bool appendOnly_ = false;
    bool known_ = false;  // size_ and ending_ describe the file
    long long size_ = 0;
    LogEnding ending_ = LogEnding::Empty;
};

} // namespace quel
