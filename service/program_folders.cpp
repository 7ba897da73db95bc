#include "service/program_folders.h"

#include "platform/program_folders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quel {

std::string DataFolder()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (::geteuid() == 0 && !(data && data[0] == '/'))
        return "/var/lib/quellarimond/";
    return UserDataFolder();
}

bool MakeFolder(const std::string& folder, std::string& reason)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        reason = error.message();
        return false;
    }
    if (!std::filesystem::is_directory(folder, error)) {
        reason = std::strerror(ENOTDIR);
        return false;
    }
    return true;
}

bool LogFolderWritable(const std::string& folder, std::string& reason)
{
    const std::string logs = WithSlash(folder) + "Logs";
    if (::mkdir(logs.c_str(), 0755) != 0 && errno != EEXIST) {
        reason = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::stat(logs.c_str(), &info) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        reason = std::strerror(ENOTDIR);
        return false;
    }
    if (::access(logs.c_str(), W_OK | X_OK) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace quel
