#include "platform/page_feed.h"

#include <cmath>

namespace quel {

bool IsFedSeries(std::string_view name, std::span<const std::string_view> series)
{
    for (const std::string_view wanted : series) {
        if (wanted.ends_with('_') ? name.starts_with(wanted) : name == wanted)
            return true;
    }
    return false;
}

bool PageCount(double value, double scale, std::uint64_t& count)
{
    const double scaled = value * scale;
    if (!std::isfinite(scaled) || scaled < 0.0 || scaled >= 1.8e19)
        return false;
    count = static_cast<std::uint64_t>(std::llround(scaled));
    return true;
}

} // namespace quel
