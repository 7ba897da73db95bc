#pragma once
// The texts of the HTML and CSV logs: header, section start and row.

#include "log/log_text.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quel {

inline constexpr const char* WebHost = "www.tolvane.com";

// The pieces of the log texts that the writer writes and the reader recognises. Lines end
// with CR LF; "..." below stands for the varying part of a line.
inline constexpr std::string_view LogTitle = "Quellarimond Log: ";  // + base name
inline constexpr std::string_view SectionStarted = "Started ";      // + start time text
// Start time texts (strftime, C locale), the HTML's with its "on ", the CSV's without.
inline constexpr const char* HtmlStartedFormat = "on %A, %B %d, %Y at %H:%M:%S";
inline constexpr const char* CsvStartedFormat = "%A %m/%d/%Y at %H:%M:%S";
inline constexpr std::string_view CsvStartedOn = "on ";
// A row's date (without a year: it is the section's) and time.
inline constexpr const char* RowDateFormat = "%m/%d";
inline constexpr const char* RowTimeFormat = "%H:%M:%S";
inline constexpr std::string_view NotAvailable = "N/A";

inline constexpr std::string_view HtmlStart = "<html><body>";
inline constexpr std::string_view HtmlTitleEnd = "</h1>";
inline constexpr std::string_view HtmlSectionStart = "<p><font size=+1><b>";  // + SectionStarted ...
inline constexpr std::string_view HtmlSectionEnd = "</b></font><br>";
inline constexpr std::string_view HtmlTrackingStart = "Logging is set to track ";  // + TrackingText
inline constexpr std::string_view HtmlTrackingEnd = "</p>";
inline constexpr std::string_view HtmlTable = "<table border=1 cellspacing=0 cellpadding=4>";
inline constexpr std::string_view HtmlTableEnd = "</table>";
inline constexpr std::string_view HtmlRowOpen = " <tr>";  // the head row
inline constexpr std::string_view HtmlRowClose = " </tr>";
inline constexpr std::string_view HtmlHeadStart = "  <th>";  // + name ...
inline constexpr std::string_view HtmlHeadEnd = "</th>";
inline constexpr std::string_view HtmlDateHead = "Date";
inline constexpr std::string_view HtmlTimeHead = "Time";
inline constexpr std::string_view HtmlRowStart = " <tr bgcolor=";  // + colour ...
inline constexpr std::string_view HtmlOddRowColour = "whitesmoke";
inline constexpr std::string_view HtmlEvenRowColour = "aliceblue";
inline constexpr std::string_view HtmlDateStart = "><td>";  // + date ...
inline constexpr std::string_view HtmlCellBetween = "</td><td>";  // + time ...
inline constexpr std::string_view HtmlCellEnd = "</td>";
inline constexpr std::string_view HtmlFailedCell = "  <td nowrap bgcolor=silver>N/A</td>";
inline constexpr std::string_view HtmlValueCellStart = "  <td nowrap ";  // + critical mark ...
inline constexpr std::string_view HtmlCriticalMark = "bgcolor=pink";
inline constexpr std::string_view HtmlValueStart = ">";  // + value, arrow ...
inline constexpr std::string_view HtmlUpArrow = " <font color=red><b>&uarr;</b></font>";
inline constexpr std::string_view HtmlDownArrow = " <font color=green><b>&darr;</b></font>";
inline constexpr std::string_view CsvDateTimeHead = "Date,Time";
inline constexpr char CsvSeparator = ',';

// The text of a "Logging is set to track" line for a log mode (1..3; else empty).
const char* TrackingText(int logMode);

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
