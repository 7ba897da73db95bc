// quel_unit_writer PROGRAM: prints the systemd unit that the service package ships, for the
// service program at the absolute path PROGRAM. The unit is the one "quelmondsrvc -install"
// writes, made by the same code, with only its first comment line telling who installed it.

#include "service/service_unit.h"

#include <cstdio>
#include <string>

namespace {

constexpr const char* PackageComment =
    "# Installed by the quellarimond-service package (disabled): enable and start it with\n"
    "# \"systemctl enable --now quellarimond\"; settings in /etc/quellarimond/Quellarimond.conf.";

// The unit text with its first line (the comment of "-install") replaced by the package's.
std::string PackagedUnitText(const std::string& program)
{
    std::string unit = quel::ServiceUnitText(program);
    const std::size_t firstLineEnd = unit.find('\n');
    if (unit.starts_with('#') && firstLineEnd != std::string::npos)
        unit.replace(0, firstLineEnd, PackageComment);
    return unit;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("Usage: quel_unit_writer PROGRAM\n", stderr);
        return 2;
    }
    std::string word;
    std::string problem;
    if (!quel::ExecStartWord(argv[1], word, problem)) {
        std::fprintf(stderr, "quel_unit_writer: %s: %s\n", argv[1], problem.c_str());
        return 1;
    }
    const std::string unit = PackagedUnitText(argv[1]);
    return std::fwrite(unit.data(), 1, unit.size(), stdout) == unit.size() && std::fflush(stdout) == 0 ? 0 : 1;
}
