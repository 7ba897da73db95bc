#include "log/log_owner_lock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quel {

LogOwnerLock::Result LogOwnerLock::Take(const std::string& path)
{
    if (Holds(path))
        return Result::Owned;
    Release();
    // Non-blocking open: something other than a regular file in its place cannot hang us.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0666);
    if (fd < 0)
        return Result::Unlocked;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return Result::Unlocked;
    }
    int locked = -1;
    while ((locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
        const bool taken = errno == EWOULDBLOCK;
        ::close(fd);
        return taken ? Result::Taken : Result::Unlocked;
    }
    fd_ = fd;
    path_ = path;
    return Result::Owned;
}

void LogOwnerLock::Release()
{
    if (fd_ >= 0)
        ::close(fd_);  // gives the lock back
    fd_ = -1;
    path_.clear();
}

std::string LogLockPath(const std::string& directory, const std::string& baseName)
{
    return directory + baseName + LogLockSuffix;
}

} // namespace quel
