#pragma once
// The service program's command line: an option after "-" or "/", compared without case.

#include <optional>
#include <string>
#include <vector>

namespace quel {

enum class ServiceCommand {
    Install,
    Remove,
    Run,
    Help,      // -help, --help, -h, -?: the usage
    Version,   // -version, --version
    Dispatch,  // no argument: the usage, then start as a service
    Unknown,   // an argument we do not know: a usage error
};

ServiceCommand ParseServiceCommand(int argc, const char* const* argv);

// Takes "-metrics ADDRESS" (or "/metrics", any case) out of the arguments after "-run", so the
// profile stays the third argument. An option without its address gives a problem text.
void TakeMetricsOption(std::vector<std::string>& arguments, std::optional<std::string>& address,
                       std::string& problem);
// The same for "-metrics-web-config FILE".
void TakeMetricsWebConfigOption(std::vector<std::string>& arguments, std::optional<std::string>& file,
                                std::string& problem);

// "Usage:" and the option lines.
std::string UsageText();
// "quelmondsrvc VERSION" and a newline.
std::string VersionText();

} // namespace quel
