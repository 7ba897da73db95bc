#pragma once
// ReportTable: lines of cells written aligned for a terminal or as CSV.

#include <ostream>
#include <string>
#include <vector>

namespace quel::cli {

class ReportTable {
public:
    explicit ReportTable(std::vector<std::string> head) : lines_ {std::move(head)} {}
    void Add(std::vector<std::string> cells) { lines_.push_back(std::move(cells)); }

    // Columns two blanks apart, each as wide as its widest cell; right[i]: column i to the right.
    void WriteAligned(std::ostream& out, const std::vector<bool>& right) const;
    // A line each; a cell with a comma, quote or line end quoted as CsvField quotes it.
    void WriteCsv(std::ostream& out) const;

private:
    std::vector<std::vector<std::string>> lines_;
};

} // namespace quel::cli
