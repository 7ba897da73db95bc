#pragma once
// The objects the Linux provider offers, in its order, looked up by name case-insensitively.

#include "platform/object_family.h"

#include <optional>
#include <span>
#include <string_view>

namespace quel {

std::span<const ObjectFamily* const> ObjectCatalog();
const ObjectFamily* FindObjectFamily(std::string_view name);
// The index of a counter within its object; none when the object has no such counter.
std::optional<std::size_t> FindCounterIndex(const ObjectFamily& family, std::string_view counter);

} // namespace quel
