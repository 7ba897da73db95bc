#pragma once
// ObjectFamily: what the provider knows of one performance object: its name, its counters in
// their order, whether it has instances, how to make a counter's reader and how to list the
// instances that exist now.

#include "platform/counter_reader.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quel {

struct ObjectFamily {
    std::string_view name;
    std::span<const std::string_view> counters;
    bool hasInstances;
    // The sources to refresh before listInstances.
    SourceMask instanceSources;
    // The reader of counters[counter] for instance (empty for objects without instances).
    std::unique_ptr<CounterReader> (*makeReader)(std::size_t counter, std::string_view instance);
    // Appends the instances that exist now, "_Total" last where the object has one.
    void (*listInstances)(SystemSnapshot& snapshot, std::vector<std::string>& instances);
};

inline constexpr std::string_view TotalInstance = "_Total";

// listInstances of the objects that have none.
void ListNoInstances(SystemSnapshot& snapshot, std::vector<std::string>& instances);

} // namespace quel
