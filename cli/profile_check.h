#pragma once
// Reads a profile as the programs do and finds every line they would ignore or correct: unknown
// keys, keys with blanks around "=", keys in the wrong place, numbers that do not read as
// written, Interval and History out of range, repeated keys, axis bounds out of order, a zero
// multiplier, counter paths that name no counter, axes beyond 32, a window rectangle off the
// screen, lines too long to be read whole and NUL bytes.

#include "profile/monitor_settings.h"

#include <string>
#include <vector>

namespace quel::cli {

struct Finding {
    int line = 0;  // 1-based; 0 when the finding belongs to no line
    std::string message;
};

// The findings in line order. False with error set when the file cannot be read.
bool CheckProfile(const std::string& path, const ScreenSize& screen, std::vector<Finding>& findings,
                  std::string& error);

} // namespace quel::cli
