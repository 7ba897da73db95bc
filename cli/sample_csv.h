#pragma once
// The CSV that "sample" writes, in the shape other performance tools read: a header line
// "(PDH-CSV 4.0)" followed by the full counter paths, then one line per sample with the local
// time "MM/DD/YYYY HH:MM:SS.mmm" and every value with six decimals. Every field is quoted; a
// value that could not be read is an empty field.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quel::cli {

// The text quoted, with every quote doubled.
std::string CsvField(std::string_view text);
std::string CsvHeaderLine(const std::vector<std::string>& columns);
std::string CsvRowLine(std::string_view time, const std::vector<std::optional<double>>& values);
// Local time of a moment, "MM/DD/YYYY HH:MM:SS.mmm".
std::string FormatSampleTime(std::chrono::system_clock::time_point moment);

} // namespace quel::cli
