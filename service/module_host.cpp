#include "service/module_host.h"

#include "platform/program_folders.h"
#include "service/service_names.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace quel {

std::string ModuleHostPath()
{
    const std::string folder = ProgramFolder();
    return folder.empty() ? std::string() : folder + ModuleHostName;
}

void RunModuleHost(const std::vector<std::string>& arguments, std::string& reason)
{
    const std::string path = ModuleHostPath();
    if (path.empty()) {
        reason = "the program's folder is unknown, so " + std::string(ModuleHostName) + " cannot be found";
        return;
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(path.c_str(), argv.data());
    reason = "cannot start " + path + ": " + std::strerror(errno);
}

} // namespace quel
