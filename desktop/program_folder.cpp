#include "desktop/program_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace quel::desktop {

namespace {

std::string WithSeparator(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

} // namespace

std::string GetProgramFolder()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !program.has_parent_path())
        return std::string();
    return WithSeparator(program.parent_path().string());
}

std::string UserDataFolder()
{
    std::string base = Environment("XDG_DATA_HOME");
    if (base.empty() || base.front() != '/') {
        const std::string home = Environment("HOME");
        if (home.empty())
            return std::string();
        base = WithSeparator(home) + ".local/share";
    }
    return WithSeparator(base) + "Quellarimond/";
}

std::string NewProfileFolder(const std::string& programFolder)
{
    if (!programFolder.empty() && ::access(programFolder.c_str(), W_OK) == 0)
        return WithSeparator(programFolder);
    const std::string folder = UserDataFolder();
    if (!folder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
    }
    return folder;
}

} // namespace quel::desktop
