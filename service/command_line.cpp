#include "service/command_line.h"

#include "service/service_names.h"

#include <strings.h>

namespace quel {

ServiceCommand ParseServiceCommand(int argc, const char* const* argv)
{
    if (argc < 2 || !argv[1] || (argv[1][0] != '-' && argv[1][0] != '/'))
        return ServiceCommand::Dispatch;
    const char* option = argv[1] + 1;
    if (::strcasecmp(option, "install") == 0)
        return ServiceCommand::Install;
    if (::strcasecmp(option, "remove") == 0)
        return ServiceCommand::Remove;
    if (::strcasecmp(option, "run") == 0)
        return ServiceCommand::Run;
    return ServiceCommand::Dispatch;
}

std::string UsageText()
{
    const std::string program = ProgramName;
    return "Usage:\n"
           "  " + program + " -install        to install the service\n"
           "  " + program + " -remove         to remove the service\n"
           "  " + program + " -run [profile]  to start as a console app\n";
}

} // namespace quel
