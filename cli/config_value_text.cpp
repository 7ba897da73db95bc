#include "cli/config_value_text.h"

#include "windrose/number_text.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace quel::cli {
namespace {

std::string_view SkipLeadingBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::size_t SkipDigits(std::string_view text, std::size_t i)
{
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        ++i;
    return i;
}

} // namespace

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string_view Trim(std::string_view text)
{
    text = SkipLeadingBlanks(text);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsCleanInt(std::string_view value)
{
    std::string_view text = SkipLeadingBlanks(value);
    if (text.starts_with('+'))
        text.remove_prefix(1);
    int number = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    return !text.empty() && ec == std::errc() && ptr == text.data() + text.size();
}

bool IsCleanReal(std::string_view value)
{
    const std::string_view text = SkipLeadingBlanks(value);
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t digitsStart = i;
    i = SkipDigits(text, i);
    std::size_t digits = i - digitsStart;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fraction = i + 1;
        i = SkipDigits(text, fraction);
        digits += i - fraction;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t e = i + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-'))
            ++e;
        const std::size_t end = SkipDigits(text, e);
        if (end == e)
            return false;
        i = end;
    }
    return i == text.size() && std::isfinite(ReadDecimalReal(value));
}

} // namespace quel::cli
