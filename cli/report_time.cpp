#include "cli/report_time.h"

#include "log/log_text.h"

namespace quel::cli {

std::string ReportTimeText(std::time_t time)
{
    return LocalTimeText(time, ReportTimeFormat);
}

std::optional<std::time_t> ParseReportTime(std::string_view text)
{
    const LocalTimeReader reader;
    for (const char* format : {ReportTimeFormat, "%Y-%m-%d %H:%M", "%Y-%m-%d"}) {
        std::tm local {};
        if (!reader.Read(text, format, local))
            continue;
        const int day = local.tm_mday;
        local.tm_isdst = -1;
        const std::time_t time = std::mktime(&local);
        if (time == static_cast<std::time_t>(-1) || local.tm_mday != day)
            return std::nullopt;
        return time;
    }
    return std::nullopt;
}

} // namespace quel::cli
