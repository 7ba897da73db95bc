#include "desktop/field_exchange.h"

#include "desktop/dialog_texts.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace quel::desktop {

namespace {

std::string_view Trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// from_chars takes no "+"; a "+" before a "-" is not a number.
std::string_view WithoutPlus(std::string_view text)
{
    if (text.starts_with('+') && !text.substr(1).starts_with('-'))
        text.remove_prefix(1);
    return text;
}

std::string Replace(std::string text, std::string_view marker, std::string_view value)
{
    const std::size_t at = text.find(marker);
    if (at != std::string::npos)
        text.replace(at, marker.size(), value);
    return text;
}

} // namespace

std::string FormatNumber(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return std::string(buffer, result.ptr);
}

bool ReadNumber(std::string_view text, double& value)
{
    const std::string_view number = WithoutPlus(Trimmed(text));
    if (number.empty())
        return false;
    double read = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), read);
    if (result.ec != std::errc() || result.ptr != number.data() + number.size() || !std::isfinite(read))
        return false;
    value = read;
    return true;
}

IntegerField ReadInteger(std::string_view text, int minimum, int maximum, int& value)
{
    const std::string_view number = WithoutPlus(Trimmed(text));
    long long read = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), read);
    if (number.empty() || result.ptr != number.data() + number.size())
        return IntegerField::NotInteger;
    if (result.ec != std::errc() || read < minimum || read > maximum)
        return IntegerField::OutOfRange;
    value = static_cast<int>(read);
    return IntegerField::Ok;
}

std::string IntegerFieldMessage(IntegerField result, int minimum, int maximum)
{
    switch (result) {
    case IntegerField::NotInteger:
        return text::EnterInteger;
    case IntegerField::OutOfRange:
        return Replace(Replace(text::EnterIntegerBetween, "%1", std::to_string(minimum)), "%2",
                       std::to_string(maximum));
    default:
        return std::string();
    }
}

} // namespace quel::desktop
