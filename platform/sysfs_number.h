#pragma once
// SysfsNumber: one sysfs attribute holding one value (millidegrees, RPM, microwatts, a battery
// status), kept open and read at most once per collection, and only when a counter asks for it.
// A fed snapshot sets the value from a node exporter page instead of reading a file.

#include "platform/proc_file.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quel {

// Turns an attribute's text into its value; false when the text holds none.
using SysfsParse = bool (*)(std::string_view text, std::int64_t& value);
// A decimal integer, blanks and the final newline around it allowed.
bool ParseSysfsInteger(std::string_view text, std::int64_t& value);

class SysfsNumber {
public:
    SysfsNumber() = default;
    explicit SysfsNumber(std::string path, SysfsParse parse = ParseSysfsInteger);

    // The value in collection (counted from 1); false when the file cannot be read or holds
    // no value, or (fed) the page did not give it.
    bool Get(std::uint64_t collection, std::int64_t& value);
    void Feed(std::uint64_t collection, std::int64_t value);
    bool HasFile() const { return !file_.Path().empty(); }
    const std::string& Path() const { return file_.Path(); }

private:
    ProcFile file_;
    SysfsParse parse_ = ParseSysfsInteger;
    std::uint64_t collection_ = 0;
    bool valid_ = false;
    std::int64_t value_ = 0;
};

// The first line of a small sysfs text file (a name, a label, a type) without surrounding
// blanks; empty when it cannot be read.
std::string ReadSysfsText(const std::string& path);

} // namespace quel
