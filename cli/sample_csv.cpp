#include "cli/sample_csv.h"

#include "windrose/number_text.h"

#include <cstdio>
#include <ctime>

namespace quel::cli {

std::string CsvField(std::string_view text)
{
    std::string field = "\"";
    for (const char c : text) {
        if (c == '"')
            field += '"';
        field += c;
    }
    field += '"';
    return field;
}

std::string CsvHeaderLine(const std::vector<std::string>& columns)
{
    std::string line = CsvField("(PDH-CSV 4.0)");
    for (const std::string& column : columns) {
        line += ',';
        line += CsvField(column);
    }
    line += '\n';
    return line;
}

std::string CsvRowLine(std::string_view time, const std::vector<std::optional<double>>& values)
{
    std::string line = CsvField(time);
    for (const std::optional<double>& value : values) {
        line += ',';
        line += CsvField(value ? FormatFixed(*value, 6) : std::string());
    }
    line += '\n';
    return line;
}

std::string FormatSampleTime(std::chrono::system_clock::time_point moment)
{
    using namespace std::chrono;
    const auto since = moment.time_since_epoch();
    const auto secondsPart = floor<seconds>(since);
    const long long milliseconds = duration_cast<std::chrono::milliseconds>(since - secondsPart).count();
    const std::time_t seconds = static_cast<std::time_t>(secondsPart.count());
    std::tm local {};
    if (::localtime_r(&seconds, &local) == nullptr)
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d.%03lld", local.tm_mon + 1, local.tm_mday,
                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec, milliseconds);
    return text;
}

} // namespace quel::cli
