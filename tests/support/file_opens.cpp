#include "tests/support/file_opens.h"

#include <array>
#include <cstddef>

#include <sys/inotify.h>
#include <unistd.h>

namespace quel::test {

FileOpens::FileOpens(const std::string& path) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    if (fd_ >= 0)
        ::inotify_add_watch(fd_, path.c_str(), IN_OPEN);
}

FileOpens::~FileOpens()
{
    if (fd_ >= 0)
        ::close(fd_);
}

int FileOpens::Take()
{
    if (fd_ < 0)
        return -1;
    int opens = 0;
    alignas(inotify_event) std::array<char, 4096> buffer {};
    for (;;) {
        const ssize_t got = ::read(fd_, buffer.data(), buffer.size());
        if (got <= 0)
            return opens;
        for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            opens += (event->mask & IN_OPEN) != 0 ? 1 : 0;
            at += sizeof(inotify_event) + event->len;
        }
    }
}

} // namespace quel::test
