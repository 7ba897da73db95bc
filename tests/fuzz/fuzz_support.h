#pragma once
// What the fuzz targets share: a scratch folder for the process, whole files written in place,
// and a stop that libFuzzer reports as a finding.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace quel::fuzz {

// A folder of its own under /dev/shm (else $TMPDIR or /tmp), made once per process and removed
// at its exit.
const std::string& ScratchFolder();

// Replaces the file's contents in place (the same inode, as the kernel regenerates a file
// that a reader keeps open).
void WriteInPlace(const std::string& path, std::string_view content);

std::string ReadWhole(const std::string& path);

// A property that does not hold: libFuzzer keeps the input and stops.
[[noreturn]] inline void Finding(const char* what)
{
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

} // namespace quel::fuzz
