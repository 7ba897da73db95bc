#include "profile/profile_file.h"

#include "profile/monitor_settings.h"
#include "windrose/config_keys.h"

namespace quel {
namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

std::string_view TrimBlanks(std::string_view line)
{
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

// The header is a comment, so blanks around it do no harm; "BeginAxis" must stand as the
// reader takes it, with nothing but the line end after it.
bool IsProfileLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line == BeginAxisMarker || TrimBlanks(line) == ProfileHeader;
}

} // namespace

bool IsProfileText(std::string_view text, std::string& reason)
{
    if (text.substr(0, ByteOrderMark.size()) == ByteOrderMark)
        text.remove_prefix(ByteOrderMark.size());
    if (text.find('\0') != std::string_view::npos) {
        reason = "not a profile (binary data)";
        return false;
    }
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        reason = "not a profile (empty)";
        return false;
    }
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (IsProfileLine(text.substr(0, end))) {
            reason.clear();
            return true;
        }
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    reason = "not a profile (neither the profile header nor an axis section)";
    return false;
}

ProfileFile ProfileFile::Read(const std::string& path)
{
    ProfileFile file;
    FileProblem problem;
    if (!ReadRegularFile(path, MaxProfileSize, file.text_, problem)) {
        file.reason_ = problem.failure == FileFailure::TooLarge ? "too large for a profile (" + problem.reason + ")"
                                                                 : problem.reason;
        return file;
    }
    file.isProfile_ = IsProfileText(file.text_, file.reason_);
    return file;
}

} // namespace quel
