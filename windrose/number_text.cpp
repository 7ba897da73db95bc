// Locale-independent number reading and writing.

#include "windrose/number_text.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <system_error>

namespace quel {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipBlanks(std::string_view text, std::size_t pos)
{
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    return pos;
}

std::size_t SkipDigits(std::string_view text, std::size_t pos)
{
    while (pos < text.size() && IsDigit(text[pos]))
        ++pos;
    return pos;
}

bool StartsWithNoCase(std::string_view text, std::size_t pos, std::string_view word)
{
    if (text.size() - pos < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char c = text[pos + i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != word[i])
            return false;
    }
    return true;
}

// "inf", "infinity" and "nan" (also "nan(...)"), in any case, as strtod reads them; they are
// what FormatFixed writes for the values that are not finite.
bool ReadNonFinite(std::string_view text, std::size_t pos, bool negative, double& value)
{
    if (StartsWithNoCase(text, pos, "inf")) {
        value = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return true;
    }
    if (StartsWithNoCase(text, pos, "nan")) {
        value = std::numeric_limits<double>::quiet_NaN();
        value = negative ? -value : value;
        return true;
    }
    return false;
}

} // namespace

int ReadDecimalInt(std::string_view text)
{
    std::size_t pos = SkipBlanks(text, 0);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    // Accumulate toward the sign so that INT_MIN itself is representable.
    long long value = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        const int digit = text[pos] - '0';
        value = negative ? value * 10 - digit : value * 10 + digit;
        if (value > INT_MAX)
            return INT_MAX;
        if (value < INT_MIN)
            return INT_MIN;
    }
    return static_cast<int>(value);
}

double ReadDecimalReal(std::string_view text)
{
    const std::size_t start = SkipBlanks(text, 0);
    std::size_t pos = start;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    if (double special = 0.0; ReadNonFinite(text, pos, negative, special))
        return special;
    const std::size_t mantissa = pos;
    const std::size_t intEnd = SkipDigits(text, pos);
    std::size_t end = intEnd;
    std::size_t fracDigits = 0;
    if (end < text.size() && text[end] == '.') {
        const std::size_t fracEnd = SkipDigits(text, end + 1);
        fracDigits = fracEnd - (end + 1);
        end = fracEnd;
    }
    if (intEnd == mantissa && fracDigits == 0)
        return 0.0;  // no digits at all
    long long exponent = 0;
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t e = end + 1;
        bool negativeExp = false;
        if (e < text.size() && (text[e] == '+' || text[e] == '-'))
            negativeExp = text[e++] == '-';
        if (e < text.size() && IsDigit(text[e])) {
            for (; e < text.size() && IsDigit(text[e]); ++e)
                exponent = std::min<long long>(exponent * 10 + (text[e] - '0'), 1'000'000'000);
            if (negativeExp)
                exponent = -exponent;
            end = e;
        }
    }
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(text.data() + mantissa, text.data() + end, value,
                                           std::chars_format::general);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // Overflow or underflow: decide by the position of the first significant digit.
        long long leading = 0;  // digits before the point, without leading zeros
        std::size_t i = mantissa;
        while (i < intEnd && text[i] == '0')
            ++i;
        leading = static_cast<long long>(intEnd - i);
        const bool overflow = leading > 0 ? leading + exponent > 0 : exponent > 0;
        value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

std::string FormatInt(int value)
{
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void AppendFixed(std::string& out, double value, int decimals)
{
    if (std::isnan(value)) {
        out += std::signbit(value) ? "-nan" : "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    // The largest double in fixed notation has 309 integer digits.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc())
        out += "nan";
    else
        out.append(buffer, result.ptr);
}

std::string FormatFixed(double value, int decimals)
{
    std::string text;
    AppendFixed(text, value, decimals);
    return text;
}

std::string FormatDiagramValue(double value)
{
    if (!std::isfinite(value))
        return "N/A";
    if (value >= -2147483648.0 && value <= 2147483647.0 && std::trunc(value) == value)
        return FormatInt(static_cast<int>(value));
    return FormatFixed(value, 2);
}

} // namespace quel
