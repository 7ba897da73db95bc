#include "platform/control_group_files.h"

#include "platform/text_scan.h"

namespace quel {

bool ParseKeyedValue(std::string_view content, std::string_view key, std::uint64_t& value)
{
    std::string_view line;
    while (text::NextLine(content, line)) {
        if (text::NextField(line) == key)
            return text::ParseU64(text::NextField(line), value);
    }
    return false;
}

bool ParseIoStatSum(std::string_view content, std::string_view key, std::uint64_t& sum)
{
    sum = 0;
    std::string_view line;
    while (text::NextLine(content, line)) {
        if (text::NextField(line).empty())  // the device "MAJ:MIN", or a blank line
            continue;
        for (std::string_view field = text::NextField(line); !field.empty(); field = text::NextField(line)) {
            const std::size_t equals = field.find('=');
            if (equals == std::string_view::npos || field.substr(0, equals) != key)
                continue;
            std::uint64_t bytes = 0;
            if (!text::ParseU64(field.substr(equals + 1), bytes) || __builtin_add_overflow(sum, bytes, &sum))
                return false;
        }
    }
    return true;
}

bool ParseSingleValue(std::string_view content, std::uint64_t& value)
{
    return text::ParseU64(text::Trim(content), value);
}

} // namespace quel
