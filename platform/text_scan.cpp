#include "platform/text_scan.h"

#include <charconv>

namespace quel::text {
namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsOctal(char c)
{
    return c >= '0' && c <= '7';
}

template <typename T>
bool ParseWhole(std::string_view text, T& value, int base)
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, base);
    return result.ec == std::errc() && result.ptr == end;
}

} // namespace

bool NextLine(std::string_view& text, std::string_view& line)
{
    if (text.empty())
        return false;
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) {
        line = text;
        text = {};
    } else {
        line = text.substr(0, end);
        text.remove_prefix(end + 1);
    }
    return true;
}

std::string_view NextField(std::string_view& text)
{
    std::size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
        ++start;
    std::size_t end = start;
    while (end < text.size() && !IsBlank(text[end]))
        ++end;
    const std::string_view field = text.substr(start, end - start);
    text.remove_prefix(end);
    return field;
}

bool ParseU64(std::string_view text, std::uint64_t& value)
{
    return ParseWhole(text, value, 10);
}

bool ParseI64(std::string_view text, std::int64_t& value)
{
    return ParseWhole(text, value, 10);
}

bool ParseHex(std::string_view text, std::uint64_t& value)
{
    return ParseWhole(text, value, 16);
}

bool ParseDouble(std::string_view text, double& value)
{
    // from_chars never looks at the locale, unlike strtod.
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    return result.ec == std::errc() && result.ptr == end;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

void DecodeOctalEscapes(std::string_view text, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && IsOctal(text[i + 1]) && IsOctal(text[i + 2]) && IsOctal(text[i + 3])) {
            const int code = (text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0');
            if (code < 256) {
                out.push_back(static_cast<char>(code));
                i += 3;
                continue;
            }
        }
        out.push_back(text[i]);
    }
}

} // namespace quel::text
