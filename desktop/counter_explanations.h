#pragma once
// The explanation of a counter the provider offers, from its counter table (object_catalog.h).

#include <string_view>

namespace quel::desktop {

// The explanation of object's counter; empty for a counter without one.
std::string_view ExplainCounter(std::string_view object, std::string_view counter);
// What the object is; empty for an object the provider does not know.
std::string_view ExplainObject(std::string_view object);

} // namespace quel::desktop
