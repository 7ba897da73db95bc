#include "cli/provider_root.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quel::cli {

std::optional<std::string> ProcRootProblem()
{
    const char* variable = std::getenv("QUELLARIMOND_PROCFS");
    const bool configured = variable != nullptr && *variable != '\0';
    const std::filesystem::path root = configured ? variable : "/proc";
    std::error_code error;
    for (const char* name : {"stat", "meminfo"}) {
        if (std::filesystem::is_regular_file(root / name, error))
            return std::nullopt;
    }
    const std::string shown = "\"" + root.string() + "\"";
    return (configured ? "QUELLARIMOND_PROCFS " + shown : shown) +
           " does not look like procfs: it holds neither stat nor meminfo";
}

} // namespace quel::cli
