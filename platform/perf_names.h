#pragma once
// The English names of the standard object and counter indices.

#include <cstdint>
#include <optional>
#include <string_view>

namespace quel {

std::optional<std::string_view> PerfNameByIndex(std::uint32_t index);

} // namespace quel
