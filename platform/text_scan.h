#pragma once
// Small allocation-free helpers for reading procfs and sysfs text: lines, whitespace-separated
// fields, numbers, case-insensitive names and the octal escapes the kernel writes into paths.

#include <cstdint>
#include <string>
#include <string_view>

namespace quel::text {

// Takes the next line (without its '\n') off the front of text; false when text is empty.
bool NextLine(std::string_view& text, std::string_view& line);

// Takes the next run of non-blank characters (blank: space, tab, '\n'); empty at the end.
std::string_view NextField(std::string_view& text);

// The whole of text as a decimal number; false on anything else (including overflow).
bool ParseU64(std::string_view text, std::uint64_t& value);
bool ParseI64(std::string_view text, std::int64_t& value);
bool ParseHex(std::string_view text, std::uint64_t& value);
// A decimal number such as "390.94" of /proc/uptime.
bool ParseDouble(std::string_view text, double& value);

std::string_view Trim(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);

// Decodes the kernel's \ooo escapes (\040 blank, \011 tab, \012 newline, \134 backslash) into
// out, reusing its storage. Anything that is not a three-digit octal escape is kept as it is.
void DecodeOctalEscapes(std::string_view text, std::string& out);

} // namespace quel::text
