#pragma once
// LogFile: the open log stream. It keeps track of the file's size and of how the file ends,
// so that writing over the footer costs the same whatever the file's size, and so that only a
// footer that is really there is ever written over.

#include <cstdio>
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

    // Opens an existing file for reading and writing (appending only, if asked).
    bool Open(const char* path, bool appendOnly);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    // The file's size in bytes; learns about changes made by others.
    long Size();
    // How the file ends now.
    LogEnding Ending();
    // Writes text at offset, or at the end for an append-only file; flushes. Failures are
    // remembered only as far as the next Size or Ending has to look at the file again.
    bool WriteAt(long offset, std::string_view text);

private:
    void Inspect();

    std::FILE* file_ = nullptr;
    bool appendOnly_ = false;
    bool known_ = false;  // size_ and ending_ describe the file
    long size_ = 0;
    LogEnding ending_ = LogEnding::Empty;
};

} // namespace quel
