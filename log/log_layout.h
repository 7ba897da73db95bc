#pragma once
// The texts of the HTML and CSV logs: header, section start and row.

#include "log/log_text.h"

#include <optional>
#include <string>
#include <vector>

namespace quel {

inline constexpr const char* WebHost = "www.tolvane.com";

// The axes' names as the wind rose gives them (an axis without a name has none).
using AxisNameList = std::vector<std::optional<std::string>>;

enum class Arrow { None, Up, Down };

// One axis of a row.
struct LogCell {
    double value = 0.0;     // scaled value
    bool failed = false;    // the read failed: "N/A"
    bool critical = false;  // at or above the critical value
    Arrow arrow = Arrow::None;
};

// backupName empty: no link to a backup.
void AppendHtmlHeader(LogText& out, const std::string& baseName, const std::string& currentName,
                      const std::string& backupName);
void AppendHtmlSection(LogText& out, const std::string& started, int logMode, const AxisNameList& axisNames);
void AppendHtmlRow(LogText& out, int rowCount, const std::string& date, const std::string& time,
                   const std::vector<LogCell>& cells);

void AppendCsvTitle(LogText& out, const std::string& baseName);
void AppendCsvSection(LogText& out, const std::string& started, const AxisNameList& axisNames);
void AppendCsvRow(LogText& out, const std::string& date, const std::string& time, const std::vector<LogCell>& cells);

} // namespace quel
