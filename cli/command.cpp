#include "cli/command.h"

#include <cstdio>

namespace quel::cli {

void ReportError(std::ostream& err, std::string_view command, std::string_view message)
{
    err << ProgramName;
    if (!command.empty())
        err << ' ' << command;
    err << ": " << Printable(message, 4096) << '\n';
    err.flush();
}

int UsageError(std::ostream& err, std::string_view command, std::string_view message)
{
    std::string text(message);
    text += " (see \"";
    text += ProgramName;
    if (!command.empty()) {
        text += ' ';
        text += command;
    }
    text += " --help\")";
    ReportError(err, command, text);
    return ExitUsage;
}

std::string Printable(std::string_view text, std::size_t limit)
{
    std::string printable;
    for (const char c : text.substr(0, limit)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            printable += escaped;
        } else {
            printable += c;
        }
    }
    if (text.size() > limit)
        printable += "...";
    return printable;
}

} // namespace quel::cli
