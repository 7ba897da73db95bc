// Every program answers --help and --version the same way: on stdout, exit 0, the one project
// version, without a display and without leaving a file behind; an unknown option is a usage
// error on stderr.

#include "tests/cli/cli_process.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <set>

namespace quel::test {
namespace {

struct Program {
    const char* name;  // as it names itself in its version line
    const char* path;
};

void PrintTo(const Program& program, std::ostream* out) { *out << program.name; }

const Program Programs[] = {
    {"Quellarimond", QUEL_DESKTOP_PATH},
    {"quelmond", QUEL_SAVER_PATH},
    {"quelmonctl", QUELMONCTL_PATH},
    {"quelmondsrvc", QUEL_SERVICE_PATH},
};

std::set<std::filesystem::path> Entries(const std::filesystem::path& folder)
{
    std::set<std::filesystem::path> entries;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        entries.insert(entry.path());
    return entries;
}

class ProgramOptions : public ::testing::TestWithParam<Program> {
protected:
    // A fresh home and no display of any kind: whatever needed one would fail.
    CliResult Run(const std::vector<std::string>& args)
    {
        const std::string home = home_.Path().string();
        return RunCli(args,
                      {{"HOME", home}, {"XDG_CONFIG_HOME", home + "/.config"}, {"XDG_DATA_HOME", home + "/.local/share"},
                       {"XDG_RUNTIME_DIR", home}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}},
                      GetParam().path);
    }
    TempFolder home_;
};

TEST_P(ProgramOptions, HelpAndVersionOnStdoutWithoutSideEffects)
{
    const std::filesystem::path programFolder = std::filesystem::path(GetParam().path).parent_path();
    const std::set<std::filesystem::path> before = Entries(programFolder);
    for (const char* option : {"--help", "-h"}) {
        const CliResult help = Run({option});
        EXPECT_EQ(help.exitCode, 0) << option << ": " << help.err;
        EXPECT_EQ(help.out.rfind("Usage:", 0), 0u) << option << ": " << help.out;
        EXPECT_EQ(help.err, "") << option;
    }
    const CliResult version = Run({"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out, std::string(GetParam().name) + " " + QUEL_PROJECT_VERSION + "\n");
    EXPECT_EQ(version.err, "");
    // Installed or started from the build tree, nothing may appear beside the program or at home.
    EXPECT_EQ(home_.EntryCount(), 0u);
    EXPECT_EQ(Entries(programFolder), before);
}

TEST_P(ProgramOptions, UnknownOptionIsAUsageErrorOnStderr)
{
    const CliResult result = Run({"--no-such-option"});
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("--no-such-option"), std::string::npos) << result.err;
    EXPECT_EQ(home_.EntryCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryProgram, ProgramOptions, ::testing::ValuesIn(Programs),
                         [](const ::testing::TestParamInfo<Program>& info) { return std::string(info.param.name); });

} // namespace
} // namespace quel::test
