#include "engine/metrics_names.h"

#include <filesystem>

namespace quel {

std::string MetricsProfileName(const std::string& profilePath)
{
    return std::filesystem::path(profilePath).stem().string();
}

} // namespace quel
