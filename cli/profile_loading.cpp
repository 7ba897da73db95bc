#include "cli/profile_loading.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quel::cli {

bool CheckReadableFile(const std::string& path, std::string& error)
{
    // Opened without blocking, so a FIFO in the profile's place cannot hang the command.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat status {};
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    ::close(fd);
    if (!regular) {
        error = S_ISDIR(status.st_mode) ? "is a folder" : "not a regular file";
        return false;
    }
    return true;
}

ScratchFolder::~ScratchFolder()
{
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

bool ScratchFolder::Create(std::string& error)
{
    std::error_code code;
    std::filesystem::path base = std::filesystem::temp_directory_path(code);
    if (code)
        base = "/tmp";
    std::string pattern = (base / "quelmonctl-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = "cannot create a folder in " + base.string() + ": " + std::strerror(errno);
        return false;
    }
    path_ = pattern;
    return true;
}

bool LoadProfileCopy(CounterMonitor& monitor, const std::string& path, const ScratchFolder& scratch,
                     std::string& error)
{
    const std::filesystem::path copy = scratch.Path() / "profile.qlmd";
    std::error_code code;
    std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing, code);
    if (code) {
        error = code.message();
        return false;
    }
    if (!monitor.LoadFromFile(copy.string())) {
        error = "read error";
        return false;
    }
    return true;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& text, std::size_t limit)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    text.clear();
    char buffer[8192];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() < limit)
        text.append(buffer, got);
    const bool ok = !std::ferror(file) && text.size() <= limit;
    std::fclose(file);
    return ok;
}

} // namespace quel::cli
