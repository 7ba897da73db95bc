#pragma once
// What the counter browser lists: the objects of a computer with their counters and instances,
// narrowed by a filter, and the counter paths made of a choice.

#include "platform/perf_data_source.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quel::desktop {

struct BrowsedObject {
    std::string name;
    std::vector<std::string> counters;
    std::vector<std::string> instances;  // "#n" added where a name repeats; empty: none
    bool hasInstances = false;
};

// Whether an object is costly to read (listed only on request): the Server object, whose
// counter scans the TCP tables.
bool IsCostlyObject(std::string_view object);

// Whether a computer named in the browser is this one: empty, or a local name of it.
bool IsThisComputer(std::string_view computer, std::string_view hostName);

// The objects of a computer in the provider's order, each with its counters and instances;
// costly objects only when includeCostly. A computer the provider cannot reach answers NoMachine.
// Another computer is asked over the network (up to its deadline): call it off the
// user-interface thread for one.
PerfStatus ListBrowsedObjects(PerfDataSource& source, const std::string& computer, std::string_view hostName,
                              bool includeCostly, std::vector<BrowsedObject>& objects);

// The second and later occurrences of a name get "#1", "#2" ...: the instance index.
std::vector<std::string> WithInstanceIndices(const std::vector<std::string>& instances);

// What a filter leaves of one object: the indices of its counters and instances. An object whose
// name matches keeps all of them; otherwise the matching ones, and a list none of whose items
// matches is kept whole, so that an object found by one of its instances still offers its
// counters. shown is false when neither the name nor any item matches.
struct FilteredObject {
    bool shown = false;
    std::vector<std::size_t> counters;
    std::vector<std::size_t> instances;
};
// The filter matches case-insensitively anywhere in a name; an empty filter matches everything.
FilteredObject FilterObject(const BrowsedObject& object, std::string_view filter);

// [\\computer]\object[(instance)]\counter; the computer part only for another computer. Empty
// when the parts do not read back as the same path (a computer name with a "\", for example).
std::string ComposeCounterPath(const std::string& computer, const std::string& object, const std::string* instance,
                               const std::string& counter);

} // namespace quel::desktop
