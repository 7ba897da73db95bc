#pragma once
// Times as the log commands show and take them: "YYYY-MM-DD HH:MM:SS", local time.

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace quel::cli {

inline constexpr const char* ReportTimeFormat = "%Y-%m-%d %H:%M:%S";

std::string ReportTimeText(std::time_t time);
// "YYYY-MM-DD HH:MM:SS", "YYYY-MM-DD HH:MM" or "YYYY-MM-DD" (midnight); none otherwise.
std::optional<std::time_t> ParseReportTime(std::string_view text);

} // namespace quel::cli
