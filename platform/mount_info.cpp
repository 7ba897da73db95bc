#include "platform/mount_info.h"

#include "platform/text_scan.h"

namespace quel {
namespace {

// "254:0" as major << 32 | minor.
bool ParseDevice(std::string_view text, std::uint64_t& device)
{
    const std::size_t colon = text.find(':');
    std::uint64_t major = 0;
    std::uint64_t minor = 0;
    if (colon == std::string_view::npos || !text::ParseU64(text.substr(0, colon), major)
        || !text::ParseU64(text.substr(colon + 1), minor) || major > 0xFFFFFFFFULL || minor > 0xFFFFFFFFULL)
        return false;
    device = major << 32 | minor;
    return true;
}

} // namespace

bool NextMountInfoLine(std::string_view& content, MountInfoLine& mount)
{
    // "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue":
    // ID, parent, major:minor, root, mount point, options, optional fields up to "-", type.
    std::string_view line;
    while (text::NextLine(content, line)) {
        text::NextField(line);
        text::NextField(line);
        if (!ParseDevice(text::NextField(line), mount.device))
            continue;
        text::NextField(line);
        mount.mountPoint = text::NextField(line);
        text::NextField(line);
        std::string_view field = text::NextField(line);
        while (!field.empty() && field != "-")
            field = text::NextField(line);
        mount.type = text::NextField(line);
        if (!mount.mountPoint.empty() && !mount.type.empty())
            return true;
    }
    return false;
}

} // namespace quel
