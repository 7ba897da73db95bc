#pragma once
// Reads a profile as the programs do and finds every line they would ignore or correct: unknown
// keys, keys with blanks around "=", keys in the wrong place, numbers that do not read as
// written, Interval and History out of range, repeated keys, axis bounds out of order, a zero
// multiplier, counter paths that name no counter, axes beyond the reader's 32 slots, a window
// rectangle off the screen, lines too long to be read whole and NUL bytes. Key names, ranges
// and the axis capacity are the reader's own (windrose/config_keys.h, profile/monitor_settings.h).

#include "profile/monitor_settings.h"

#include <string>
#include <vector>

namespace quel::cli {

struct Finding {
    int line = 0;  // 1-based; 0 when the finding belongs to no line
    std::string message;
};

// The findings on a profile's text (as the profile gate read it), in line order.
std::vector<Finding> CheckProfile(const std::string& text, const ScreenSize& screen);

} // namespace quel::cli
