#include "platform/proc_file.h"

#include "platform/regular_file.h"

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace quel {
namespace {

constexpr std::size_t InitialBufferSize = 4096;
// Nothing we read is anywhere near this; a larger file is not a counter source.
constexpr std::size_t MaxBufferSize = std::size_t{64} << 20;

} // namespace

ProcFile::ProcFile(std::string path) : path_(std::move(path)) {}

void ProcFile::SetPath(std::string path)
{
    Close();
    path_ = std::move(path);
}

void ProcFile::Close()
{
    fd_.Reset();
}

bool ProcFile::Open()
{
    if (fd_.Valid())
        return true;
    // Procfs and sysfs files are regular: a FIFO or device in a file's place (a corrupted or
    // fake tree) is refused instead of blocking the sampling thread for ever.
    FileProblem problem;
    return OpenRegularFile(path_, fd_, problem);
}

bool ProcFile::Read(std::string_view& content)
{
    if (ReadOpen(content))
        return true;
    Close();
    return ReadOpen(content);
}

bool ProcFile::ReadOpen(std::string_view& content)
{
    if (!Open())
        return false;
    if (buffer_.empty())
        buffer_.resize(InitialBufferSize);
    std::size_t length = 0;
    for (;;) {
        if (length == buffer_.size()) {
            if (buffer_.size() >= MaxBufferSize)
                return false;
            buffer_.resize(buffer_.size() * 2);
        }
        const ssize_t got = ::pread(fd_.Get(), buffer_.data() + length, buffer_.size() - length, static_cast<off_t>(length));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            break;
        length += static_cast<std::size_t>(got);
    }
    content = std::string_view(buffer_.data(), length);
    return true;
}

} // namespace quel
