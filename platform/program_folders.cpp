#include "platform/program_folders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quel {
namespace {

// Relative values are ignored: they would make the folder depend on the working directory.
std::string AbsoluteEnvironmentPath(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : std::string();
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

} // namespace quel
