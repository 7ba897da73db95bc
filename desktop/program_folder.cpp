#include "desktop/program_folder.h"

#include "platform/program_folders.h"

#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace quel::desktop {

std::string GetProgramFolder()
{
    return ProgramFolder();
}

std::string NewProfileFolder(const std::string& programFolder)
{
    if (!programFolder.empty() && ::access(programFolder.c_str(), W_OK) == 0)
        return WithSlash(programFolder);
    const std::string folder = UserDataFolder();
    if (!folder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
    }
    return folder;
}

} // namespace quel::desktop
