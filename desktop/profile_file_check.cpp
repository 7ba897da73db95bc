#include "desktop/profile_file_check.h"

#include "profile/monitor_settings.h"

#include <filesystem>
#include <fstream>
#include <string_view>

namespace quel::desktop {

namespace {

// The header is on the first lines; a profile never starts with more blank space than this.
constexpr std::size_t MaxLeadingBytes = 4096;

std::string_view Trimmed(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    return line;
}

} // namespace

bool IsProfileFile(const std::string& path)
{
    // Only regular files: opening a pipe or a device would block or never end.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::string head(MaxLeadingBytes, '\0');
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(file.gcount()));
    std::string_view rest(head);
    if (rest.substr(0, 3) == "\xEF\xBB\xBF")
        rest.remove_prefix(3);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos && head.size() == MaxLeadingBytes)
            return false;  // a first line longer than any header
        const std::string_view line = Trimmed(rest.substr(0, end));
        if (!line.empty())
            return line == ProfileHeader;
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    return false;
}

} // namespace quel::desktop
