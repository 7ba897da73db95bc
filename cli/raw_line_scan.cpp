#include "cli/raw_line_scan.h"

#include "windrose/config_reader.h"

namespace quel::cli {

void ScanRawLines(std::string_view text, std::vector<Finding>& findings)
{
    int line = 1;
    std::size_t length = 0;
    bool reportedNul = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            c = text[++i];
        if (c == '\n') {
            if (length > ConfigReader::PieceLength)
                findings.push_back({line, "longer than 2046 characters: the rest of the line is read as a line of its own"});
            ++line;
            length = 0;
            reportedNul = false;
            continue;
        }
        if (c == '\0' && !reportedNul) {
            findings.push_back({line, "holds a NUL byte: the rest of the line is ignored"});
            reportedNul = true;
        }
        ++length;
    }
    if (length > ConfigReader::PieceLength)
        findings.push_back({line, "longer than 2046 characters: the rest of the line is read as a line of its own"});
}

} // namespace quel::cli
