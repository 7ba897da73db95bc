#pragma once
// What this test process has mapped, to check which modules a program loaded.

#include <string_view>

namespace quel::test {

// Whether a file named fileName (or fileName followed by a version, "libcurl.so.4.8.0") is
// mapped into this process.
bool IsFileMapped(std::string_view fileName);

} // namespace quel::test
