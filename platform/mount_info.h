#pragma once
// The lines of /proc/self/mountinfo, as the fields the provider needs.

#include <cstdint>
#include <string_view>

namespace quel {

struct MountInfoLine {
    std::uint64_t device = 0;      // major << 32 | minor
    std::string_view mountPoint;   // as written, with the kernel's octal escapes
    std::string_view type;         // the file system type after the "-" separator
};

// Takes the next well-formed line off the front of content; lines without a device, mount
// point or type are skipped. False at the end.
bool NextMountInfoLine(std::string_view& content, MountInfoLine& mount);

} // namespace quel
