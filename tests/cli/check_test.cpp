// quelmonctl check: what the programs would ignore or correct, with line numbers, and the
// profile as they would save it.

#include "cli/profile_check.h"
#include "tests/cli/cli_process.h"
#include "tests/support/file_opens.h"
#include "tests/support/profile_verdict_set.h"
#include "engine/counter_monitor.h"
#include "platform/linux_perf_data_source.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quel::test {
namespace {

const std::string Fixtures = QUEL_FIXTURES_DIR;

TEST(CliCheck, EveryKindOfProblemWithItsLine)
{
    const std::string path = Fixtures + "/cli/problems.qlmd";
    const CliResult result = RunCli({"check", path});
    EXPECT_EQ(result.exitCode, 1);
    const std::vector<std::string> expected = {
        ":5: blanks around \"CriticalBorder\" and \"=\": the key \"CriticalBorder \" is not recognised and the line is ignored",
        ":7: unknown key \"Colour\"; the line is ignored",
        ":8: Interval 0 is outside 1..120: the line is ignored and Interval stays 2",
        ":10: History 500 is outside 2..120: the line is ignored and History stays 30",
        ":12: the window rectangle does not fit a 1024x768 screen (WndRight 2000 is beyond the width 1024); the programs "
        "use WndLeft 12, WndTop 9, WndRight 420, WndBottom 315",
        ":15: \"2x\" is not a whole number: LabelTrunc reads as 2",
        ":21: axis 1 (\"CPU\"): bounds out of order (MinValue 0.000000, CriticalValue 120.000000, MaxValue 100.000000); "
        "they are kept, but the programs need MinValue <= CriticalValue <= MaxValue",
        ":22: axis 1 (\"CPU\"): Multiplier 0 divides every value by zero; the programs refuse it",
        ":26: Name outside an axis section is ignored (it belongs between BeginAxis and EndAxis)",
        ":29: GridStep inside an axis section is ignored (it belongs before the first BeginAxis)",
        ":30: counter path \"\\Memory\\No Such Counter\": the object \"Memory\" has no counter \"No Such Counter\"; this "
        "axis never gets a value",
        ":152: a 33rd axis section: only 32 axes are read; this line and everything after it are ignored",
    };
    std::vector<std::string> lines = SplitLines(result.err);
    for (std::string& line : lines) {
        ASSERT_EQ(line.rfind(path, 0), 0u) << line;
        line.erase(0, path.size());
    }
    EXPECT_EQ(lines, expected);

    // The profile as the programs save it: corrected rectangle, previous Interval and History,
    // the blank-spaced key gone, 32 axes.
    const std::string& saved = result.out;
    EXPECT_EQ(saved.rfind("\r\n# QUELLARIMOND CONFIGURATION FILE. DO NOT MODIFY!\r\n", 0), 0u);
    for (const char* line : {"\r\nCriticalBorder=80\r\n", "\r\nHistory=30\r\n", "\r\nInterval=2\r\n",
                             "\r\nWndRight=420\r\n", "\r\nLabelTrunc=2\r\n", "\r\nMultiplier=0.000000\r\n"})
        EXPECT_NE(saved.find(line), std::string::npos) << line;
    std::size_t axes = 0;
    for (std::size_t at = saved.find("BeginAxis"); at != std::string::npos; at = saved.find("BeginAxis", at + 1))
        ++axes;
    EXPECT_EQ(axes, 32u);
    EXPECT_EQ(saved.find("ignored"), std::string::npos);
}

TEST(CliCheck, CleanProfileIsPrintedUnchanged)
{
    const std::string path = Fixtures + "/profile/default-2cpu.qlmd";
    const CliResult result = RunCli({"check", path});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, ReadFile(path));
}

// A profile is read once per load: the commands, and the monitor's load that the desktop
// program, the screen saver and the service make after the profile gate.
TEST(CliCheck, EveryLoadOpensTheProfileOnce)
{
    TempFolder folder;
    const std::string path = (folder.Path() / "watch.qlmd").string();
    WriteFile(path, ReadFile(Fixtures + "/profile/default-2cpu.qlmd"));
    FileOpens opens(path);
    for (const char* command : {"check", "rules"}) {
        const CliResult result = RunCli({command, path});
        EXPECT_EQ(result.exitCode, 0) << command << ": " << result.err;
        EXPECT_EQ(opens.Take(), 1) << command;
    }
    LinuxPerfDataSource source;
    MonitorEnvironment environment;
    environment.source = &source;
    CounterMonitor monitor(environment);
    monitor.RemoveAllAxes();
    ASSERT_TRUE(monitor.LoadProfile(path, ProfileFile::Read(path)));
    EXPECT_EQ(opens.Take(), 1);
    EXPECT_EQ(monitor.GetAxisCount(), 8);
    EXPECT_EQ(monitor.GetLogPath(), (folder.Path() / "Logs" / "watch-log.html").string());
}

TEST(CliCheck, WindowCheckedAgainstTheGivenScreen)
{
    const std::string path = Fixtures + "/profile/default-2cpu.qlmd";
    const CliResult result = RunCli({"check", "--screen", "400x300", path});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, path + ":32: the window rectangle does not fit a 400x300 screen (WndRight 420 is beyond the "
                                 "width 400; WndBottom 315 is beyond the height 300); the programs use WndLeft 12, "
                                 "WndTop 9, WndRight 172, WndBottom 129\n");
    EXPECT_NE(result.out.find("\r\nWndRight=172\r\nWndTop=9\r\nWndBottom=129\r\n"), std::string::npos);
}

TEST(CliCheck, GivesTheProgramsVerdictOnTheSharedFileSet)
{
    TempFolder folder;
    for (const VerdictCase& file : MakeProfileVerdictSet(folder)) {
        const CliResult result = RunCli({"check", file.path.string()});
        if (file.isProfile) {
            EXPECT_NE(result.exitCode, 2) << file.name << ": " << result.err;
            EXPECT_NE(result.out, "") << file.name;
        } else {
            EXPECT_EQ(result.exitCode, 2) << file.name;
            EXPECT_EQ(result.err, "quelmonctl check: cannot read " + file.path.string() + ": " + file.reason + "\n");
            EXPECT_EQ(result.out, "") << file.name;
        }
    }
}

TEST(CliCheck, UnreadableFilesAndBadArguments)
{
    TempFolder folder;
    const std::vector<std::vector<std::string>> bad = {
        {"check", (folder.Path() / "missing.qlmd").string()},
        {"check", folder.Path().string()},
        {"check", "/dev/zero"},
        {"check"},
        {"check", "a", "b"},
        {"check", "--screen", "wide", "a"},
    };
    for (const auto& args : bad) {
        const CliResult result = RunCli(args);
        EXPECT_EQ(result.exitCode, 2) << args.back();
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
}

// The smaller findings, straight from the checker.
std::vector<std::pair<int, std::string>> Check(const std::string& text, ScreenSize screen = {})
{
    std::vector<std::pair<int, std::string>> result;
    for (const cli::Finding& finding : cli::CheckProfile(text, screen))
        result.emplace_back(finding.line, finding.message);
    return result;
}

TEST(ProfileCheck, KeysRepeatedMisspelledOrOutOfPlace)
{
    const auto findings = Check("GridStep=10\nGridStep=30\n=5\nhello\nEndAxis \nShowValues= 1\nInterval=+7\n"
                                "GridStep=101\n  \nInterval=abc\n");
    const std::vector<std::pair<int, std::string>> expected = {
        {2, "GridStep was already given on line 1; this line's value replaces it"},
        {3, "no key before \"=\"; the line is ignored"},
        {4, "\"hello\" is not a key line; it is ignored"},
        {5, "blanks around \"EndAxis\": the key \"EndAxis \" is not recognised and the line is ignored"},
        {8, "GridStep was already given on line 2; this line's value replaces it"},
        {8, "GridStep 101 is outside 0..100; it is kept as read"},
        {10, "Interval \"abc\" reads as 0, outside 1..120: the line is ignored and Interval stays 7"},
    };
    EXPECT_EQ(findings, expected);
}

TEST(ProfileCheck, LogFileSizeOutsideItsRangeIsIgnoredAsTheReaderIgnoresIt)
{
    const auto findings = Check("LogFileSize=0\nLogFileSize=10241\nLogFileSize=-5\nLogFileSize=128\nLogFileSize=10240\n");
    const std::vector<std::pair<int, std::string>> expected = {
        {1, "LogFileSize 0 is outside 1..10240: the line is ignored and LogFileSize stays 64"},
        {2, "LogFileSize 10241 is outside 1..10240: the line is ignored and LogFileSize stays 64"},
        {3, "LogFileSize -5 is outside 1..10240: the line is ignored and LogFileSize stays 64"},
        {5, "LogFileSize was already given on line 4; this line's value replaces it"},
    };
    EXPECT_EQ(findings, expected);
}

TEST(ProfileCheck, AxisValuesAndPaths)
{
    const auto findings = Check("BeginAxis\nMaxValue=1e999\nMinValue=5\nMaxValue=abc\nInverse=2\nCounter=\n"
                                "BeginAxis\nName=n\nCounter=\\Processor\\% User Time\nCounter=\\Memory(0)\\Commit Limit\n"
                                "EndAxis\nBeginAxis\nCounter=Processor\nColour=1\nEndAxis\n"
                                "BeginAxis\nCounter=\\\\elsewhere\\Anything\\At All\n");
    const std::vector<std::pair<int, std::string>> expected = {
        {2, "\"1e999\" is not a number: MaxValue reads as inf"},
        {4, "\"abc\" is not a number: MaxValue reads as 0.000000"},
        {4, "MaxValue was already given on line 2; this line's value replaces it"},
        {4, "axis 1: bounds out of order (MinValue 5.000000, CriticalValue 0.000000, MaxValue 0.000000); they are kept, "
            "but the programs need MinValue <= CriticalValue <= MaxValue"},
        {5, "Inverse 2 reads as 1"},
        {6, "empty counter path; this axis never gets a value"},
        {9, "counter path \"\\Processor\\% User Time\": the object \"Processor\" needs an instance in parentheses; "
            "this axis never gets a value"},
        {10, "Counter was already given on line 9; this line's value replaces it"},
        {10, "counter path \"\\Memory(0)\\Commit Limit\": the object \"Memory\" has no instances; this axis never gets "
             "a value"},
        {13, "\"Processor\" is not a counter path (\\Object(instance)\\Counter or \\Object\\Counter); this axis never "
             "gets a value"},
        {14, "unknown axis key \"Colour\"; the line is ignored"},
    };
    EXPECT_EQ(findings, expected);
}

TEST(ProfileCheck, LinesTheReaderCutsOrStops)
{
    const std::string longValue(3000, 'x');
    const auto findings = Check("BeginAxis\nName=" + longValue + "\nDesc=a" + std::string(1, '\0') + "b\n"
                                "Counter=\\Objects\\Threads\n# " + longValue + "\n");
    ASSERT_EQ(findings.size(), 5u);
    EXPECT_EQ(findings[0], std::make_pair(2, std::string("longer than 2046 characters: the rest of the line is read as "
                                                          "a line of its own")));
    EXPECT_EQ(findings[1].first, 2);  // the rest of the line, on its own
    EXPECT_EQ(findings[1].second, "\"" + std::string(60, 'x') + "...\" is not a key line; it is ignored");
    EXPECT_EQ(findings[2], std::make_pair(3, std::string("holds a NUL byte: the rest of the line is ignored")));
    // The rest of a long comment line is not a comment any more.
    EXPECT_EQ(findings[3].first, 5);
    EXPECT_EQ(findings[4].first, 5);
    EXPECT_EQ(findings[4].second, findings[1].second);
}

TEST(ProfileCheck, AxisWithoutCounterAndWindowOffTheScreen)
{
    const auto findings = Check("WndLeft=-5\nWndTop=400\nWndBottom=300\nBeginAxis\nName=lonely\nEndAxis\n", {800, 600});
    const std::vector<std::pair<int, std::string>> expected = {
        {3, "the window rectangle does not fit a 800x600 screen (WndTop 400 is not above WndBottom 300; WndLeft -5 is "
            "negative); the programs use WndLeft 12, WndTop 9, WndRight 332, WndBottom 249"},
        {4, "axis 1 (\"lonely\") has no Counter line; it never gets a value"},
    };
    EXPECT_EQ(findings, expected);
}

} // namespace
} // namespace quel::test
