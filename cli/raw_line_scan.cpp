#include "cli/raw_line_scan.h"

#include "windrose/config_reader.h"

namespace quel::cli {

void ScanRawLines(std::FILE* file, std::vector<Finding>& findings)
{
    int line = 1;
    std::size_t length = 0;
    bool reportedNul = false;
    for (int c = std::getc(file); c != EOF; c = std::getc(file)) {
        if (c == '\r') {
            const int next = std::getc(file);
            if (next == '\n')
                c = '\n';
            else if (next != EOF)
                std::ungetc(next, file);
        }
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
