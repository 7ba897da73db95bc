#include "platform/exposition_page.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace quel {
namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsNameStart(char c, bool colonAllowed)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (colonAllowed && c == ':');
}

bool IsNameChar(char c, bool colonAllowed)
{
    return IsNameStart(c, colonAllowed) || (c >= '0' && c <= '9');
}

// Reads a metric name (colons allowed) or label name at line[pos]; its length, 0 when none.
std::size_t NameLength(const char* line, std::size_t pos, std::size_t length, bool colonAllowed)
{
    if (pos >= length || !IsNameStart(line[pos], colonAllowed))
        return 0;
    std::size_t end = pos + 1;
    while (end < length && IsNameChar(line[end], colonAllowed))
        ++end;
    return end - pos;
}

std::size_t SkipBlanks(const char* line, std::size_t pos, std::size_t length)
{
    while (pos < length && IsBlank(line[pos]))
        ++pos;
    return pos;
}

// A Go-style float: decimal or exponent notation, "NaN", "+Inf", "-Inf" (any case).
bool ParseValue(std::string_view text, double& value)
{
    if (text.empty())
        return false;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
        if (text.empty() || text.front() == '+' || text.front() == '-')
            return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (end != text.data() + text.size()) {
        return false;
    }
    if (error == std::errc::result_out_of_range) {
        // Overflow is infinite; underflow is as good as 0.
        value = std::fabs(value) > 1.0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (error != std::errc()) {
        return false;
    }
    if (negative)
        value = -value;
    return true;
}

} // namespace

void ExpositionPage::Parse(std::string text)
{
    text_ = std::move(text);
    samples_.clear();
    labels_.clear();
    skipped_ = 0;
    char* const data = text_.data();
    const std::size_t size = text_.size();
    std::size_t start = 0;
    while (start < size) {
        const void* newline = std::memchr(data + start, '\n', size - start);
        const std::size_t end = newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - data) : size;
        std::size_t length = end - start;
        if (length > 0 && data[start + length - 1] == '\r')
            --length;
        if (length > MaxLineLength || !ParseLine(data + start, length))
            ++skipped_;
        start = end + 1;
    }
}

std::string ExpositionPage::TakeText()
{
    samples_.clear();
    labels_.clear();
    skipped_ = 0;
    std::string text = std::move(text_);
    text_.clear();
    text.clear();
    return text;
}

bool ExpositionPage::ParseLine(char* line, std::size_t length)
{
    std::size_t pos = SkipBlanks(line, 0, length);
    if (pos == length || line[pos] == '#')
        return true;  // blank line, comment, HELP or TYPE

    ExpositionSample sample;
    const std::size_t nameLength = NameLength(line, pos, length, true);
    if (nameLength == 0)
        return false;
    sample.name = std::string_view(line + pos, nameLength);
    pos += nameLength;
    sample.firstLabel = static_cast<std::uint32_t>(labels_.size());
    const std::size_t labelsBefore = labels_.size();
    auto fail = [&] {
        labels_.resize(labelsBefore);
        return false;
    };

    const std::size_t nameEnd = pos;
    pos = SkipBlanks(line, pos, length);
    const bool hasLabels = pos < length && line[pos] == '{';
    if (hasLabels) {
        pos = SkipBlanks(line, pos + 1, length);
        while (pos < length && line[pos] != '}') {
            const std::size_t labelLength = NameLength(line, pos, length, false);
            if (labelLength == 0 || labels_.size() - labelsBefore >= MaxLabels)
                return fail();
            ExpositionLabel label;
            label.name = std::string_view(line + pos, labelLength);
            pos = SkipBlanks(line, pos + labelLength, length);
            if (pos >= length || line[pos] != '=')
                return fail();
            pos = SkipBlanks(line, pos + 1, length);
            if (pos >= length || line[pos] != '"')
                return fail();
            ++pos;
            // Unescape in place: the value only ever gets shorter.
            char* out = line + pos;
            const char* const valueStart = out;
            bool closed = false;
            while (pos < length) {
                const char c = line[pos++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\' && pos < length) {
                    const char next = line[pos++];
                    *out++ = next == 'n' ? '\n' : next;  // \\ and \" stand for themselves
                    continue;
                }
                *out++ = c;
            }
            if (!closed)
                return fail();
            label.value = std::string_view(valueStart, static_cast<std::size_t>(out - valueStart));
            labels_.push_back(label);
            pos = SkipBlanks(line, pos, length);
            if (pos < length && line[pos] == ',')
                pos = SkipBlanks(line, pos + 1, length);
            else if (pos < length && line[pos] != '}')
                return fail();
        }
        if (pos >= length)
            return fail();
        ++pos;  // '}'
    }
    sample.labelCount = static_cast<std::uint32_t>(labels_.size() - labelsBefore);

    if (!hasLabels && pos == nameEnd)
        return fail();  // the value must be separated from the name
    const std::size_t valueStart = SkipBlanks(line, pos, length);
    std::size_t valueEnd = valueStart;
    while (valueEnd < length && !IsBlank(line[valueEnd]))
        ++valueEnd;
    if (!ParseValue(std::string_view(line + valueStart, valueEnd - valueStart), sample.value))
        return fail();
    // An optional timestamp (integer milliseconds), then nothing.
    pos = SkipBlanks(line, valueEnd, length);
    if (pos < length) {
        std::size_t stampEnd = pos;
        if (line[stampEnd] == '-')
            ++stampEnd;
        std::uint64_t stamp = 0;
        const auto [end, error] = std::from_chars(line + stampEnd, line + length, stamp);
        if (error != std::errc() || SkipBlanks(line, static_cast<std::size_t>(end - line), length) != length)
            return fail();
    }
    samples_.push_back(sample);
    return true;
}

std::string_view ExpositionPage::Label(const ExpositionSample& sample, std::string_view name) const
{
    for (const ExpositionLabel& label : Labels(sample)) {
        if (label.name == name)
            return label.value;
    }
    return {};
}

bool ExpositionPage::HasMetric(std::string_view name) const
{
    for (const ExpositionSample& sample : samples_) {
        if (sample.name == name)
            return true;
    }
    return false;
}

} // namespace quel
