#include "service/program_folders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quel {
namespace {

std::string AbsoluteEnvironmentPath(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string WithSlash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

std::string ProgramFolder()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !program.has_parent_path())
        return std::string();
    return WithSlash(program.parent_path().string());
}

std::string DataFolder()
{
    const std::string data = AbsoluteEnvironmentPath("XDG_DATA_HOME");
    if (!data.empty())
        return WithSlash(data) + "Quellarimond/";
    if (::geteuid() == 0)
        return "/var/lib/quellarimond/";
    const std::string home = AbsoluteEnvironmentPath("HOME");
    return home.empty() ? std::string() : WithSlash(home) + ".local/share/Quellarimond/";
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
