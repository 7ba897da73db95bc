#pragma once
// Counter paths: [\\computer]\Object[(instance)]\Counter.
//
// None of our objects has parent instances, and mount points contain "/" and may contain ")",
// "#" or "\". So the instance is everything between the first "(" after the object name and the
// ")" that ends the object part (just before the last "\"); nothing is split off at "/" or "#".

#include <string>
#include <string_view>

namespace quel {

struct CounterPath {
    std::string_view computer;   // empty: none given
    std::string_view object;
    std::string_view instance;
    bool hasInstance = false;
    std::string_view counter;
};

// Splits path into its parts (views into path); false when it is malformed.
bool ParseCounterPath(std::string_view path, CounterPath& parts);

// Whether a computer name addresses this machine: its own host name (case-insensitive),
// "localhost", "127.0.0.1" and ".".
bool IsLocalComputer(std::string_view computer, std::string_view hostName);

} // namespace quel
