#include "log/log_layout.h"

#include "log/log_file.h"

#include <algorithm>
#include <iterator>

namespace quel {
namespace {

const char* TrackingText(int logMode)
{
    switch (logMode) {
    case 1: return "every update of counter values.";
    case 2: return "changes in counter values only.";
    case 3: return "changes in counter states only.";
    default: return "";
    }
}

} // namespace

void AppendHtmlHeader(LogText& out, const std::string& baseName, const std::string& currentName,
                      const std::string& backupName)
{
    out << "<html><body>\n<h1>"
        << "<a href=\"http://" << WebHost << "/quellarimond\">\n"
        << "<img border=0 align=absmiddle alt=\"Home\" \n"
        << "src=\"http://" << WebHost << "/quellarimond/images/log.gif\"></a>\n"
        << "Quellarimond Log: ";
    out.Html(baseName) << "</h1>\n"
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
    out << "\n<p><font size=+1><b>Started " << started << "</b></font><br>\n"
        << "Logging is set to track " << TrackingText(logMode) << "</p>\n\n"
        << "<table border=1 cellspacing=0 cellpadding=4>\n"
        << " <tr>\n  <th>Date</th>\n  <th>Time</th>\n";
    for (const std::optional<std::string>& name : axisNames) {
        out << "  <th>";
        out.Html((name ? std::string_view(*name) : std::string_view())) << "</th>\n";
    }
    out << " </tr>\n\n" << TableFooter;
}

void AppendHtmlRow(LogText& out, int rowCount, const std::string& date, const std::string& time,
                   const std::vector<LogCell>& cells)
{
    out << " <tr bgcolor=" << (rowCount % 2 != 0 ? "whitesmoke" : "aliceblue") << "><td>" << date << "</td><td>"
        << time << "</td>\n";
    for (const LogCell& cell : cells) {
        if (cell.failed) {
            out << "  <td nowrap bgcolor=silver>N/A</td>\n";
            continue;
        }
        out << "  <td nowrap " << (cell.critical ? "bgcolor=pink" : "") << ">";
        out.Fixed2(cell.value);
        if (cell.arrow == Arrow::Up)
            out << " <font color=red><b>&uarr;</b></font>";
        else if (cell.arrow == Arrow::Down)
            out << " <font color=green><b>&darr;</b></font>";
        out << "</td>\n";
    }
    out << " </tr>\n" << TableFooter;
}

void AppendCsvTitle(LogText& out, const std::string& baseName)
{
    out << "Quellarimond Log: " << baseName << "\n";
}

void AppendCsvSection(LogText& out, const std::string& started, const AxisNameList& axisNames)
{
    out << "\nStarted on " << started << "\n" << "Date,Time";
    for (const std::optional<std::string>& name : axisNames) {
        // The name without its commas, written piece by piece.
        const std::string_view text = (name ? std::string_view(*name) : std::string_view());
        out << ",";
        for (std::size_t start = 0; start <= text.size();) {
            const std::size_t comma = std::min(text.find(',', start), text.size());
            out << text.substr(start, comma - start);
            start = comma + 1;
        }
    }
    out << "\n";
}

void AppendCsvRow(LogText& out, const std::string& date, const std::string& time, const std::vector<LogCell>& cells)
{
    out << date << "," << time;
    for (const LogCell& cell : cells) {
        if (cell.failed) {
            out << ",N/A";
        } else {
            out << ",";
            out.Fixed2(cell.value);
        }
    }
    out << "\n";
}

} // namespace quel
