#include "desktop/program_folder.h"

#include "platform/program_folders.h"

namespace quel::desktop {

std::string GetProgramFolder()
{
    return ProgramFolder();
}

std::string NewProfileFolder(const std::string& programFolder)
{
    const FolderChoice choice = ChooseWritableFolder(programFolder, UserDataFolder());
    // When neither can be written, the save that follows names the per-user folder it failed in.
    return choice.folder.empty() ? WithSlash(UserDataFolder()) : choice.folder;
}

} // namespace quel::desktop
