#include "platform/program_folders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quel {
namespace {

// Relative values are ignored: they would make the folder depend on the working directory.
std::string AbsoluteEnvironmentPath(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

bool MakeFolder(const std::string& folder, bool withParents, std::string& reason)
{
    if (!withParents) {
        if (::mkdir(folder.c_str(), 0755) == 0 || errno == EEXIST)
            return true;
        reason = std::strerror(errno);
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        reason = error.message();
    return !error;
}

// folder + sub made when missing, then tested; the sub-folder alone when the folder must exist.
bool UsableFolder(const std::string& folder, const std::string& sub, bool makeFolder, std::string& reason)
{
    const std::string target = sub.empty() ? folder : WithSlash(folder) + sub;
    if (makeFolder || !sub.empty()) {
        if (!MakeFolder(target, makeFolder, reason))
            return false;
    }
    return WritableFolder(target, reason);
}

} // namespace

std::string WithSlash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

std::string ProgramFolder()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !program.has_parent_path())
        return std::string();
    return WithSlash(program.parent_path().string());
}

std::string UserDataFolder()
{
    const std::string data = AbsoluteEnvironmentPath("XDG_DATA_HOME");
    if (!data.empty())
        return WithSlash(data) + "Quellarimond/";
    const std::string home = AbsoluteEnvironmentPath("HOME");
    return home.empty() ? std::string() : WithSlash(home) + ".local/share/Quellarimond/";
}

std::string DataFolder()
{
    if (::geteuid() == 0 && AbsoluteEnvironmentPath("XDG_DATA_HOME").empty())
        return "/var/lib/quellarimond/";
    return UserDataFolder();
}

bool WritableFolder(const std::string& folder, std::string& reason)
{
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        reason = std::strerror(ENOTDIR);
        return false;
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

FolderChoice ChooseWritableFolder(const std::string& preferred, const std::string& fallback, const std::string& sub)
{
    FolderChoice choice;
    if (preferred.empty())
        choice.preferredProblem = "the folder is unknown";
    else if (UsableFolder(preferred, sub, false, choice.preferredProblem))
        return {WithSlash(preferred), "", ""};
    if (fallback.empty())
        choice.fallbackProblem = "no folder for data (HOME is not set)";
    else if (UsableFolder(fallback, sub, true, choice.fallbackProblem))
        choice.folder = WithSlash(fallback);
    return choice;
}

} // namespace quel
