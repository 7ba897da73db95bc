// Temporary file, fsync, close, rename.

#include "platform/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quel {

namespace {

namespace fs = std::filesystem;

// The file that path names, with symbolic links resolved; path itself when it does not exist.
std::string ResolveTarget(const std::string& path)
{
    std::error_code error;
    if (fs::is_symlink(fs::symlink_status(path, error))) {
        const fs::path target = fs::weakly_canonical(path, error);
        if (!error)
            return target.string();
    }
    return path;
}

// Creates a new, empty file beside target; the umask applies as for any new file.
int CreateTemporary(const std::string& target, std::string& tempPath)
{
    static std::atomic<unsigned> counter {0};
    const fs::path base(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path name = "." + base.filename().string() + ".tmp" + std::to_string(::getpid()) + "-"
            + std::to_string(counter.fetch_add(1));
        tempPath = (base.parent_path() / name).string();
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The new file keeps the mode and, where allowed, the owner of the file it replaces.
bool CopyAttributes(int fd, const std::string& target)
{
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0)
        return errno == ENOENT;
    if (::fchmod(fd, old.st_mode & 07777) != 0)
        return false;
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Only the superuser may give a file away; a file of our own is fine as it is.
    }
    return true;
}

void SyncFolder(const std::string& target)
{
    std::string folder = fs::path(target).parent_path().string();
    if (folder.empty())
        folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool WriteAll(int fd, std::string_view content)
{
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view content)
{
    if (path.empty())
        return false;
    const std::string target = ResolveTarget(path);
    std::string tempPath;
    const int fd = CreateTemporary(target, tempPath);
    if (fd < 0)
        return false;
    bool ok = CopyAttributes(fd, target) && WriteAll(fd, content) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = std::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return false;
    }
    SyncFolder(target);
    return true;
}

} // namespace quel
