#include "platform/counter_path.h"

#include "platform/text_scan.h"

namespace quel {

bool ParseCounterPath(std::string_view path, CounterPath& parts)
{
    parts = CounterPath{};
    std::string_view rest = path;
    if (rest.starts_with("\\\\")) {
        rest.remove_prefix(2);
        const std::size_t end = rest.find('\\');
        if (end == 0 || end == std::string_view::npos)
            return false;
        parts.computer = rest.substr(0, end);
        rest.remove_prefix(end);
    }
    if (!rest.starts_with('\\'))
        return false;
    rest.remove_prefix(1);

    const std::size_t lastSlash = rest.rfind('\\');
    if (lastSlash == std::string_view::npos || lastSlash + 1 == rest.size())
        return false;
    parts.counter = rest.substr(lastSlash + 1);
    const std::string_view objectPart = rest.substr(0, lastSlash);

    const std::size_t open = objectPart.find('(');
    if (open == std::string_view::npos) {
        parts.object = objectPart;
    } else {
        if (!objectPart.ends_with(')') || objectPart.size() - open < 3)
            return false;
        parts.object = objectPart.substr(0, open);
        parts.instance = objectPart.substr(open + 1, objectPart.size() - open - 2);
        parts.hasInstance = true;
    }
    return !parts.object.empty() && parts.object.find('\\') == std::string_view::npos
        && parts.object.find(')') == std::string_view::npos;
}

bool IsLocalComputer(std::string_view computer, std::string_view hostName)
{
    return computer == "." || computer == "127.0.0.1" || text::EqualsNoCase(computer, "localhost")
        || (!hostName.empty() && text::EqualsNoCase(computer, hostName));
}

} // namespace quel
