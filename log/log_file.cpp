#include "log/log_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
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
        ::close(fd_);  // also gives the lock back
    fd_ = -1;
    lockDepth_ = 0;
    known_ = false;
}

void LogFile::Lock()
{
    if (fd_ < 0)
        return;
    if (lockDepth_++ > 0)
        return;
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
    known_ = false;  // another writer may have written while we waited
}

void LogFile::Unlock()
{
    if (fd_ < 0 || lockDepth_ == 0)
        return;
    if (--lockDepth_ == 0)
        ::flock(fd_, LOCK_UN);
}

bool LogFile::IsAt(const char* path) const
{
    struct stat open {};
    struct stat named {};
    return fd_ >= 0 && ::fstat(fd_, &open) == 0 && ::stat(path, &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
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

int LogFile::WriteAt(long long offset, std::string_view text, std::string_view replaced)
{
    if (fd_ < 0)
        return EBADF;
    if (appendOnly_) {
        Refresh();  // where the text will begin, should it have to be taken back
        offset = size_;
        replaced = {};
    }
    // A write cut short sets no error number: the rest is written on until it goes through or
    // fails with the reason (ENOSPC on a full disk, EFBIG at the file size limit).
    std::size_t written = 0;
    int error = 0;
    while (written < text.size()) {
        const ssize_t n = appendOnly_ ? ::write(fd_, text.data() + written, text.size() - written)
                                      : ::pwrite(fd_, text.data() + written, text.size() - written,
                                                 static_cast<off_t>(offset + static_cast<long long>(written)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (error != 0) {
        if (written > 0)
            Undo(offset, replaced);
        known_ = false;
        return error;
    }
    const long long end = offset + static_cast<long long>(text.size());
    if (!known_ || end < size_) {
        known_ = false;  // written into a file of unknown or larger size: look again
        return 0;
    }
    size_ = end;
    if (text.ends_with(TableFooter))
        ending_ = LogEnding::Table;
    else if (text.ends_with(HeaderFooter))
        ending_ = LogEnding::Header;
    else
        ending_ = size_ == 0 ? LogEnding::Empty : LogEnding::Foreign;
    return 0;
}

// Puts back what a cut write overwrote. The replaced bytes go where they were, into space the
// file already had, so this works on a full disk; then the rest of the cut text is cut off.
void LogFile::Undo(long long offset, std::string_view replaced)
{
    if (!replaced.empty()) {
        ssize_t restored = -1;
        do {
            restored = ::pwrite(fd_, replaced.data(), replaced.size(), static_cast<off_t>(offset));
        } while (restored < 0 && errno == EINTR);
    }
    const off_t end = static_cast<off_t>(offset) + static_cast<off_t>(replaced.size());
    while (::ftruncate(fd_, end) != 0 && errno == EINTR) {
    }
}

} // namespace quel
