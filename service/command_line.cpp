#include "service/command_line.h"

#include "service/service_names.h"

#include <strings.h>

namespace quel {

ServiceCommand ParseServiceCommand(int argc, const char* const* argv)
{
    if (argc < 2 || !argv[1])
        return ServiceCommand::Dispatch;
    if (argv[1][0] != '-' && argv[1][0] != '/')
        return ServiceCommand::Unknown;
    const char* option = argv[1] + 1;
    if (::strcasecmp(option, "install") == 0)
        return ServiceCommand::Install;
    if (::strcasecmp(option, "remove") == 0)
        return ServiceCommand::Remove;
    if (::strcasecmp(option, "run") == 0)
        return ServiceCommand::Run;
    for (const char* help : {"help", "-help", "h", "?"}) {
        if (::strcasecmp(option, help) == 0)
            return ServiceCommand::Help;
    }
    if (::strcasecmp(option, "version") == 0 || ::strcasecmp(option, "-version") == 0)
        return ServiceCommand::Version;
    return ServiceCommand::Unknown;
}

namespace {

// Takes "-option VALUE" out of the arguments after "-run".
void TakeOptionValue(std::vector<std::string>& arguments, const char* option, const char* needs,
                     std::optional<std::string>& value, std::string& problem)
{
    for (std::size_t i = 2; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word.size() < 2 || (word[0] != '-' && word[0] != '/') || ::strcasecmp(word.c_str() + 1, option) != 0)
            continue;
        if (i + 1 >= arguments.size()) {
            problem = std::string("-") + option + " needs " + needs;
            arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
        value = arguments[i + 1];
        arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                        arguments.begin() + static_cast<std::ptrdiff_t>(i + 2));
        return;
    }
}

} // namespace

void TakeMetricsOption(std::vector<std::string>& arguments, std::optional<std::string>& address,
                       std::string& problem)
{
    TakeOptionValue(arguments, MetricsOption, "an address, such as 127.0.0.1:9187", address, problem);
}

void TakeMetricsWebConfigOption(std::vector<std::string>& arguments, std::optional<std::string>& file,
                                std::string& problem)
{
    TakeOptionValue(arguments, MetricsWebConfigOption, "a web configuration file", file, problem);
}

std::string UsageText()
{
    const std::string program = ProgramName;
    return "Usage:\n"
           "  " + program + " -install        to install the service\n"
           "  " + program + " -remove         to remove the service\n"
           "  " + program + " -run [profile]  to start as a console app\n"
           "  " + program + " -run -metrics ADDRESS [profile]\n"
           "                      to serve /metrics on ADDRESS (127.0.0.1:9187, :9187) as well\n"
           "  " + program + " --help          to show this text\n"
           "  " + program + " --version       to show the version\n";
}

std::string VersionText()
{
    return std::string(ProgramName) + " " + QUEL_VERSION + "\n";
}

} // namespace quel
