#include "service/profile_check.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace quel {
namespace {

// A profile of 32 axes takes a few kilobytes; anything this large is something else.
constexpr off_t MaxProfileSize = 1 << 20;

bool HasAxisSection(std::string_view text)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line == "BeginAxis")
            return true;
        start = end + 1;
    }
    return false;
}

bool ReadAll(int fd, std::string& text)
{
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > static_cast<std::size_t>(MaxProfileSize))
            return true;
    }
}

} // namespace

bool CheckProfileFile(const std::string& path, std::string& reason)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    struct stat info {};
    std::string text;
    bool ok = false;
    if (::fstat(fd, &info) != 0)
        reason = std::strerror(errno);
    else if (S_ISDIR(info.st_mode))
        reason = std::strerror(EISDIR);
    else if (!S_ISREG(info.st_mode))
        reason = "not a regular file";
    else if (info.st_size > MaxProfileSize)
        reason = "too large for a profile";
    else if (!ReadAll(fd, text))
        reason = std::strerror(errno);
    else if (text.size() > static_cast<std::size_t>(MaxProfileSize))
        reason = "too large for a profile";
    else if (text.find('\0') != std::string::npos)
        reason = "not a profile (binary data)";
    else if (!HasAxisSection(text))
        reason = "not a profile (no counters in it)";
    else
        ok = true;
    ::close(fd);
    return ok;
}

} // namespace quel
