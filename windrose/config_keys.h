#pragma once
// The names of the configuration block: its section markers and keys. The reader, the writer
// and the tools that check a file by hand all take them from here.

#include <array>
#include <string_view>

namespace quel {

inline constexpr std::string_view BeginAxisMarker = "BeginAxis";
inline constexpr std::string_view EndAxisMarker = "EndAxis";

// The display options, integers, recognised outside axis sections.
inline constexpr std::array<std::string_view, 6> OptionKeys {"GridStep",    "CriticalBorder", "ShowNames",
                                                             "ShowNumbers", "ShowValues",     "LabelTrunc"};

// The axis keys, recognised inside axis sections: two texts, four reals and one flag.
inline constexpr std::string_view AxisNameKey = "Name";
inline constexpr std::string_view AxisDescKey = "Desc";
inline constexpr std::array<std::string_view, 4> AxisBoundKeys {"MinValue", "MaxValue", "CriticalValue", "Multiplier"};
inline constexpr std::string_view AxisInverseKey = "Inverse";

} // namespace quel
