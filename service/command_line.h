#pragma once
// The service program's command line: an option after "-" or "/", compared without case.

#include <string>

namespace quel {

enum class ServiceCommand {
    Install,
    Remove,
    Run,
    Dispatch,  // no option, or one we do not know: usage, then start as a service
};

ServiceCommand ParseServiceCommand(int argc, const char* const* argv);

// "Usage:" and the three option lines.
std::string UsageText();

} // namespace quel
