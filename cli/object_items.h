#pragma once
// The provider's objects, counters and instances as lists of names, and the counter paths they
// make; shared by "list" and by the wildcard paths of "sample".

#include "platform/perf_data_source.h"

#include <string>
#include <string_view>
#include <vector>

namespace quel::cli {

struct ObjectItems {
    std::string object;  // the object's name as the provider spells it
    bool hasInstances = false;
    std::vector<std::string> counters;   // in the provider's order
    std::vector<std::string> instances;  // those that exist now, in the provider's order
};

// Counters and instances of an object (its name matched as the provider matches it) on a
// computer (empty: this one).
PerfStatus EnumerateObjectItems(PerfDataSource& source, std::string_view object, ObjectItems& items,
                                std::string_view computer = {});

// "\Object(instance)\Counter" for every counter and, within it, every instance; with
// withInstances false (or for an object without instances) one path per counter,
// "\Object(*)\Counter" or "\Object\Counter".
std::vector<std::string> ObjectPaths(const ObjectItems& items, bool withInstances);

// "\Object" + ("(" + instance + ")") + "\Counter".
std::string MakePath(std::string_view object, const std::string* instance, std::string_view counter);

// What a status of the provider means, for error lines ("no such object", ...).
std::string DescribeStatus(PerfStatus status);
// The same for a status that adding path gave, naming what is wrong with the path.
std::string DescribePathStatus(std::string_view path, PerfStatus status);

} // namespace quel::cli
