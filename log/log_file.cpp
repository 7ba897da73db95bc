#include "log/log_file.h"

#include <algorithm>
#include <array>

namespace quel {

bool LogFile::Open(const char* path, bool appendOnly)
{
    Close();
    file_ = std::fopen(path, appendOnly ? "ab" : "r+b");
    appendOnly_ = appendOnly;
    known_ = false;
    return file_ != nullptr;
}

void LogFile::Close()
{
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = nullptr;
    known_ = false;
}

long LogFile::Size()
{
    if (file_ == nullptr)
        return 0;
    // One seek tells the real size; reading the ending again is needed only when the file
    // changed behind our back (truncated, appended to) or a write failed.
    long size = -1;
    if (std::fseek(file_, 0, SEEK_END) == 0)
        size = std::ftell(file_);
    if (size < 0) {
        known_ = false;
        return size_;
    }
    if (!known_ || size != size_)
        Inspect();
    return size_;
}

LogEnding LogFile::Ending()
{
    Size();
    return ending_;
}

void LogFile::Inspect()
{
    known_ = false;
    ending_ = LogEnding::Foreign;
    if (std::fseek(file_, 0, SEEK_END) != 0)
        return;
    const long size = std::ftell(file_);
    if (size < 0)
        return;
    size_ = size;
    if (size == 0) {
        ending_ = LogEnding::Empty;
        known_ = true;
        return;
    }
    if (appendOnly_) {
        known_ = true;  // an appended file's ending does not matter
        return;
    }
    std::array<char, TableFooter.size()> tail {};
    const long count = std::min<long>(size, static_cast<long>(tail.size()));
    if (std::fseek(file_, size - count, SEEK_SET) != 0
        || std::fread(tail.data(), 1, static_cast<std::size_t>(count), file_) != static_cast<std::size_t>(count)) {
        std::clearerr(file_);
        return;
    }
    const std::string_view ending(tail.data(), static_cast<std::size_t>(count));
    if (ending.ends_with(TableFooter))
        ending_ = LogEnding::Table;
    else if (ending.ends_with(HeaderFooter))
        ending_ = LogEnding::Header;
    known_ = true;
}

bool LogFile::WriteAt(long offset, std::string_view text)
{
    if (file_ == nullptr)
        return false;
    if (!appendOnly_ && std::fseek(file_, offset, SEEK_SET) != 0) {
        known_ = false;
        return false;
    }
    const std::size_t written = std::fwrite(text.data(), 1, text.size(), file_);
    const bool flushed = std::fflush(file_) == 0;
    if (written != text.size() || !flushed) {
        std::clearerr(file_);
        known_ = false;
        return false;
    }
    const long end = appendOnly_ ? size_ + static_cast<long>(text.size()) : offset + static_cast<long>(text.size());
    if (end < size_) {
        known_ = false;  // written inside the file: its ending is what it was
        return true;
    }
    size_ = end;
    if (text.ends_with(TableFooter))
        ending_ = LogEnding::Table;
    else if (text.ends_with(HeaderFooter))
        ending_ = LogEnding::Header;
    else
        ending_ = LogEnding::Foreign;
    return true;
}

} // namespace quel
