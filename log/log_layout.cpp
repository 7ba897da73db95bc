#include "log/log_layout.h"

#include "log/log_file.h"

#include <algorithm>
#include <iterator>

namespace quel {

const char* TrackingText(int logMode)
{
    switch (logMode) {
    case 1: return "every update of counter values.";
    case 2: return "changes in counter values only.";
    case 3: return "changes in counter states only.";
    default: return "";
    }
}

void AppendHtmlHeader(LogText& out, const std::string& baseName, const std::string& currentName,
                      const std::string& backupName)
{
    out << HtmlStart << "\n<h1>"
        << "<a href=\"http://" << WebHost << "/quellarimond\">\n"
        << "<img border=0 align=absmiddle alt=\"Home\" \n"
        << "src=\"http://" << WebHost << "/quellarimond/images/log.gif\"></a>\n"
        << LogTitle;
    out.Html(baseName) << HtmlTitleEnd << "\n"
                       << "Navigate: <a href=\"#end\">End Of File</a>"
                       << " &#8226; <a href=\"";
    out.Href(currentName) << "\">Current Log</a>";
    if (!backupName.empty()) {
        out << " &#8226; <a href=\"";
        out.Href(backupName) << "\">Backup Log</a>";
    }
    out << "<br>\n" << HeaderFooter;
}

void AppendHtmlSection(LogText& out, const std::string& started, int logMode, const AxisNameList& axisNames)
{
    out << "\n" << HtmlSectionStart << SectionStarted << started << HtmlSectionEnd << "\n"
        << HtmlTrackingStart << TrackingText(logMode) << HtmlTrackingEnd << "\n\n"
        << HtmlTable << "\n"
        << HtmlRowOpen << "\n" << HtmlHeadStart << HtmlDateHead << HtmlHeadEnd << "\n"
        << HtmlHeadStart << HtmlTimeHead << HtmlHeadEnd << "\n";
    for (const std::optional<std::string>& name : axisNames) {
        out << HtmlHeadStart;
        out.Html((name ? std::string_view(*name) : std::string_view())) << HtmlHeadEnd << "\n";
    }
    out << HtmlRowClose << "\n\n" << TableFooter;
}

void AppendHtmlRow(LogText& out, int rowCount, const std::string& date, const std::string& time,
                   const std::vector<LogCell>& cells)
{
    out << HtmlRowStart << (rowCount % 2 != 0 ? HtmlOddRowColour : HtmlEvenRowColour) << HtmlDateStart << date
        << HtmlCellBetween << time << HtmlCellEnd << "\n";
    for (const LogCell& cell : cells) {
        if (cell.failed) {
            out << HtmlFailedCell << "\n";
            continue;
        }
        out << HtmlValueCellStart << (cell.critical ? HtmlCriticalMark : "") << HtmlValueStart;
        out.Fixed2(cell.value);
        if (cell.arrow == Arrow::Up)
            out << HtmlUpArrow;
        else if (cell.arrow == Arrow::Down)
            out << HtmlDownArrow;
        out << HtmlCellEnd << "\n";
    }
    out << HtmlRowClose << "\n" << TableFooter;
}

void AppendCsvTitle(LogText& out, const std::string& baseName)
{
    out << LogTitle << baseName << "\n";
}

void AppendCsvSection(LogText& out, const std::string& started, const AxisNameList& axisNames)
{
    out << "\n" << SectionStarted << CsvStartedOn << started << "\n" << CsvDateTimeHead;
    for (const std::optional<std::string>& name : axisNames) {
        // The name without its commas, written piece by piece.
        const std::string_view text = (name ? std::string_view(*name) : std::string_view());
        out << std::string_view(&CsvSeparator, 1);
        for (std::size_t start = 0; start <= text.size();) {
            const std::size_t comma = std::min(text.find(CsvSeparator, start), text.size());
            out << text.substr(start, comma - start);
            start = comma + 1;
        }
    }
    out << "\n";
}

void AppendCsvRow(LogText& out, const std::string& date, const std::string& time, const std::vector<LogCell>& cells)
{
    const std::string_view separator(&CsvSeparator, 1);
    out << date << separator << time;
    for (const LogCell& cell : cells) {
        out << separator;
        if (cell.failed)
            out << NotAvailable;
        else
            out.Fixed2(cell.value);
    }
    out << "\n";
}

} // namespace quel
