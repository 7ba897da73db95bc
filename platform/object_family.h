#pragma once
// ObjectFamily: what the provider knows of one performance object: its name, its counters in
// their order (each with its unit, explanation and sources), whether it has instances, how to
// make a counter's reader and how to list the instances that exist now.

#include "platform/counter_reader.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quel {

// One counter as the browser explains it and docs/counters.md lists it.
struct CounterInfo {
    std::string_view name;
    std::string_view unit;
    // One or two sentences for the counter browser: what it measures.
    std::string_view explanation;
    // The kernel file and formula on this machine.
    std::string_view local;
    // The node exporter series and formula; empty: not available from another computer.
    std::string_view remote;

    bool AvailableRemotely() const { return !remote.empty(); }
};

struct ObjectFamily {
    std::string_view name;
    // What the object is, for the browser and docs/counters.md.
    std::string_view explanation;
    std::span<const CounterInfo> counters;
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
