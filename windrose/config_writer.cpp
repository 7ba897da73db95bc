// Lines of a configuration block, CR LF terminated, numbers in the C locale.

#include "windrose/config_writer.h"
#include "windrose/number_text.h"

namespace quel {

namespace {
constexpr std::string_view LineEnd = "\r\n";
}

void ConfigWriter::Line(std::string_view text)
{
    text_.append(text);
    text_.append(LineEnd);
}

void ConfigWriter::Key(std::string_view key, std::string_view value)
{
    text_.append(key);
    text_.push_back('=');
    text_.append(value);
    text_.append(LineEnd);
}

void ConfigWriter::Key(std::string_view key, int value) { Key(key, std::string_view(FormatInt(value))); }

void ConfigWriter::KeyReal(std::string_view key, double value) { Key(key, std::string_view(FormatFixed6(value))); }

std::string FormatFixed6(double value) { return FormatFixed(value, 6); }

} // namespace quel
