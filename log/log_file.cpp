#include "log/log_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quel {

bool LogFile::Open(const char* path, bool appendOnly)
{
    Close();
    // Non-blocking, so that a pipe put in the log's place cannot hang the caller; only a
    // regular file is a log.
    fd_ = ::open(path, (appendOnly ? O_WRONLY | O_APPEND : O_RDWR) | O_CLOEXEC | O_NONBLOCK);
    appendOnly_ = appendOnly;
    struct stat status {};
    if (fd_ >= 0 && (::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)))
        Close();
    return fd_ >= 0;
}

void LogFile::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    known_ = false;
}

void LogFile::Refresh()
{
    struct stat status {};
    if (fd_ < 0 || ::fstat(fd_, &status) != 0) {
        known_ = false;
        return;
    }
    if (!known_ || status.st_size != size_)
        Inspect(status.st_size);
}

long long LogFile::Size()
{
    if (!known_)
        Refresh();
    return size_;
}

LogEnding LogFile::Ending()
{
    if (!known_)
        Refresh();
    return known_ ? ending_ : LogEnding::Foreign;
}

void LogFile::Inspect(long long size)
{
    size_ = size;
    ending_ = LogEnding::Foreign;
    known_ = true;
    if (size == 0) {
        ending_ = LogEnding::Empty;
        return;
    }
    if (appendOnly_)
        return;  // appending does not care how the file ends
    std::array<char, TableFooter.size()> tail {};
    const long long count = std::min<long long>(size, static_cast<long long>(tail.size()));
    if (::pread(fd_, tail.data(), static_cast<std::size_t>(count), size - count) != count) {
        known_ = false;
        return;
    }
    const std::string_view ending(tail.data(), static_cast<std::size_t>(count));
    if (ending.ends_with(TableFooter))
        ending_ = LogEnding::Table;
    else if (ending.ends_with(HeaderFooter))
        ending_ = LogEnding::Header;
}

bool LogFile::WriteAt(long long offset, std::string_view text)
{
    if (fd_ < 0)
        return false;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = appendOnly_
            ? ::write(fd_, text.data() + done, text.size() - done)
            : ::pwrite(fd_, text.data() + done, text.size() - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            known_ = false;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    const long long end = appendOnly_ ? size_ + static_cast<long long>(text.size())
                                      : offset + static_cast<long long>(text.size());
    if (!known_ || end < size_) {
        known_ = false;  // written into a file of unknown or larger size: look again
        return true;
    }
    size_ = end;
    if (text.ends_with(TableFooter))
        ending_ = LogEnding::Table;
    else if (text.ends_with(HeaderFooter))
        ending_ = LogEnding::Header;
    else
        ending_ = size_ == 0 ? LogEnding::Empty : LogEnding::Foreign;
    return true;
}

} // namespace quel
