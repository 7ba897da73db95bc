#pragma once
// One sentence for each counter the provider offers: what it measures and where it comes from.

#include <string_view>

namespace quel::desktop {

// The explanation of object's counter; empty for a counter without one.
std::string_view ExplainCounter(std::string_view object, std::string_view counter);

} // namespace quel::desktop
