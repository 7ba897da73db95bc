#include "cli/report_table.h"

#include "cli/sample_csv.h"

#include <algorithm>

namespace quel::cli {

void ReportTable::WriteAligned(std::ostream& out, const std::vector<bool>& right) const
{
    std::vector<std::size_t> widths;
    for (const auto& line : lines_) {
        widths.resize(std::max(widths.size(), line.size()), 0);
        for (std::size_t i = 0; i < line.size(); ++i)
            widths[i] = std::max(widths[i], line[i].size());
    }
    for (const auto& line : lines_) {
        std::string text;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const std::string pad(widths[i] - line[i].size(), ' ');
            if (i > 0)
                text += "  ";
            text += i < right.size() && right[i] ? pad + line[i] : line[i] + (i + 1 < line.size() ? pad : "");
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        out << text << '\n';
    }
}

void ReportTable::WriteCsv(std::ostream& out) const
{
    for (const auto& line : lines_) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            const std::string& cell = line[i];
            if (i > 0)
                out << ',';
            out << (cell.find_first_of(",\"\r\n") == std::string::npos ? cell : CsvField(cell));
        }
        out << '\n';
    }
}

} // namespace quel::cli
