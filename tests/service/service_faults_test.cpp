// Bad input never stops the service: it falls back to what it can do and says what went wrong.

#include "service_test_support.h"
#include "tests/support/profile_verdict_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace quel::test;

namespace {

class ServiceFaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        machine_.Use(process_);
        process_.SetProgram(CopyOfBinary(bin_));
        process_.SetEnv("QUELLARIMOND_SYSTEM_CONFIG", root_ / "missing.conf");
        process_.SetEnv("XDG_DATA_HOME", root_ / "data");
    }

    // Runs until the log has a new row, then Control-C; the program must end normally.
    void RunUntilLogged(const std::vector<std::string>& arguments, const std::string& log)
    {
        const int rowsBefore = HtmlRows(ReadFile(log));
        ASSERT_TRUE(process_.Start(arguments));
        EXPECT_TRUE(WaitFor([&] { return HtmlRows(ReadFile(log)) > rowsBefore; })) << log << "\n" << process_.Stderr();
        ASSERT_TRUE(process_.Signal(SIGINT));
        EXPECT_EQ(process_.Wait(), 0);
        EXPECT_EQ(process_.Stdout(), std::string(ConsoleStart) + ConsoleStop);
    }

    std::string FallbackLog() const { return bin_ / "Logs/ServiceDefault-log.html"; }

    TempFolder root_;
    TempFolder bin_;
    FixtureMachine machine_;
    ServiceProcess process_;
};

TEST_F(ServiceFaultTest, BinaryGarbageAsProfileFallsBackToTheDefaultCounters)
{
    std::string garbage;
    for (int i = 0; i < 5000; ++i)
        garbage += static_cast<char>((i * 7919) % 256);
    garbage += "\nBeginAxis\nCounter=\\Memory\\% Committed Bytes In Use\nEndAxis\n";
    WriteFile(root_ / "garbage.qlmd", garbage);
    RunUntilLogged({"-run", root_ / "garbage.qlmd"}, FallbackLog());
    EXPECT_EQ(process_.Stderr(), "quelmondsrvc: cannot use the profile " + (root_ / "garbage.qlmd").string() +
                                     ": not a profile (binary data); logging the default counters\n");
    EXPECT_FALSE(fs::exists(root_ / "Logs"));  // nothing is written beside the garbage
}

TEST_F(ServiceFaultTest, FileSizeLimitLeavesWholeRowsAndIsReportedOnceEachWay)
{
    // A long axis name makes the log's heading longer than what the program prints on stderr,
    // which the limit applies to as well.
    const std::string name = "Committed" + std::string(400, '_');
    WriteFile(root_ / "db.qlmd", ProfileText(1, 1, 1, {{name, "\\Memory\\% Committed Bytes In Use"}}));
    const std::string log = root_ / "Logs/db-log.csv";
    ASSERT_TRUE(process_.Start({"-run", root_ / "db.qlmd"}));
    ASSERT_TRUE(WaitFor([&] { return !CsvRows(ReadFile(log)).empty(); })) << process_.Stderr();
    ASSERT_TRUE(process_.SetFileSizeLimit(fs::file_size(log)));
    const std::string failing = "quelmondsrvc: cannot write to the log " + log +
                                ": File too large; rows are left out until it can be written again\n";
    EXPECT_TRUE(WaitFor([&] { return process_.Stderr() == failing; })) << process_.Stderr();
    const std::size_t rowsWhileFailing = CsvRows(ReadFile(log)).size();

    ASSERT_TRUE(process_.SetFileSizeLimit(RLIM_INFINITY));
    const std::string again = "quelmondsrvc: the log " + log + " is written again\n";
    EXPECT_TRUE(WaitFor([&] { return process_.Stderr() == failing + again; })) << process_.Stderr();
    ASSERT_TRUE(process_.Signal(SIGINT));
    EXPECT_EQ(process_.Wait(), 0);  // not killed by SIGXFSZ

    const std::string csv = ReadFile(log);
    EXPECT_TRUE(csv.ends_with("\r\n"));
    EXPECT_GT(CsvRows(csv).size(), rowsWhileFailing);
    for (const std::string& row : CsvRows(csv))
        EXPECT_EQ(std::count(row.begin(), row.end(), ','), 2) << row;
}

TEST_F(ServiceFaultTest, TextWithoutCountersIsNoProfile)
{
    WriteFile(root_ / "notes.qlmd", "Interval=1\nLogMode=0\nshopping list\n");
    RunUntilLogged({"-run", root_ / "notes.qlmd"}, FallbackLog());
    EXPECT_EQ(process_.Stderr(), "quelmondsrvc: cannot use the profile " + (root_ / "notes.qlmd").string() +
                                     ": not a profile (neither the profile header nor an axis section); logging the default counters\n");
    // The fallback keeps the default log settings, not those the bad file named.
    EXPECT_NE(ReadFile(FallbackLog()).find("changes in counter values only."), std::string::npos);
}

TEST_F(ServiceFaultTest, GivesTheProgramsVerdictOnTheSharedFileSet)
{
    for (const VerdictCase& file : MakeProfileVerdictSet(root_)) {
        const std::string path = file.path.string();
        const bool hasAxes = file.isProfile && ReadFile(path).find("BeginAxis") != std::string::npos;
        const std::string log = hasAxes ? (root_ / "Logs" / (file.path.stem().string() + "-log.html")).string()
                                        : FallbackLog();
        RunUntilLogged({"-run", path}, log);
        std::string expected;
        if (!file.isProfile)
            expected = "quelmondsrvc: cannot use the profile " + path + ": " + file.reason;
        else if (!hasAxes)
            expected = "quelmondsrvc: the profile " + path + " holds no counters";
        if (!expected.empty())
            expected += "; logging the default counters\n";
        EXPECT_EQ(process_.Stderr(), expected) << file.name;
    }
}

TEST_F(ServiceFaultTest, FolderOrMissingFileAsProfileFallsBack)
{
    fs::create_directory(root_ / "folder.qlmd");
    RunUntilLogged({"-run", root_ / "folder.qlmd"}, FallbackLog());
    EXPECT_EQ(process_.Stderr(), "quelmondsrvc: cannot use the profile " + (root_ / "folder.qlmd").string() +
                                     ": Is a directory; logging the default counters\n");

    RunUntilLogged({"-run", root_ / "missing.qlmd"}, FallbackLog());
    EXPECT_EQ(process_.Stderr(), "quelmondsrvc: cannot use the profile " + (root_ / "missing.qlmd").string() +
                                     ": No such file or directory; logging the default counters\n");
}

TEST_F(ServiceFaultTest, UnreadableSettingsFileIsReportedAndIgnored)
{
    fs::create_directory(root_ / "settings.conf");
    process_.SetEnv("QUELLARIMOND_SYSTEM_CONFIG", root_ / "settings.conf");
    RunUntilLogged({"-run"}, FallbackLog());
    EXPECT_EQ(process_.Stderr(),
              "quelmondsrvc: cannot read the settings file " + (root_ / "settings.conf").string() +
                  ": Is a directory\n");
}

TEST_F(ServiceFaultTest, OversizedSettingsFileIsReportedNotTakenForNoChoice)
{
    // The file names a profile, but it is over the settings files' limit: say so.
    WriteFile(root_ / "settings.conf", "[Service]\nProfile=" + (root_ / "p.qlmd").string() + "\n#" +
                                           std::string(1 << 20, 'x') + "\n");
    process_.SetEnv("QUELLARIMOND_SYSTEM_CONFIG", root_ / "settings.conf");
    RunUntilLogged({"-run"}, FallbackLog());
    EXPECT_EQ(process_.Stderr(), "quelmondsrvc: cannot read the settings file " + (root_ / "settings.conf").string() +
                                     ": the file is larger than 1 MiB\n");
}

TEST_F(ServiceFaultTest, UnwritableLogFolderMovesTheLogToTheDataFolder)
{
    fs::create_directory(root_ / "p");
    WriteFile(root_ / "p/web.qlmd", ProfileText(1, 1, 0, {{"Committed", "\\Memory\\% Committed Bytes In Use"}}));
    WriteFile(root_ / "p/Logs", "a file where the log folder would go");
    RunUntilLogged({"-run", root_ / "p/web.qlmd"}, root_ / "data/Quellarimond/Logs/web-log.html");
    EXPECT_EQ(process_.Stderr(), "quelmondsrvc: cannot write the log in " + (root_ / "p/Logs").string() +
                                     ": Not a directory; logging to " +
                                     (root_ / "data/Quellarimond/Logs").string() + "\n");
}

TEST_F(ServiceFaultTest, ReadOnlyProgramFolderPutsTheFallbackLogInTheDataFolder)
{
    WriteFile(bin_ / "Logs", "a file where the log folder would go");
    RunUntilLogged({"-run"}, root_ / "data/Quellarimond/Logs/ServiceDefault-log.html");
    EXPECT_EQ(process_.Stderr(), "");  // an installed program's folder is read-only: nothing to report
}

TEST_F(ServiceFaultTest, NoWritableFolderAtAllStillRunsAndStops)
{
    WriteFile(bin_ / "Logs", "a file where the log folder would go");
    WriteFile(root_ / "data", "a file where the data folder would go");
    ASSERT_TRUE(process_.Start({"-run"}));
    EXPECT_TRUE(WaitFor([&] { return process_.Stderr().find("nothing is logged") != std::string::npos; }));
    ASSERT_TRUE(process_.Signal(SIGINT));
    EXPECT_EQ(process_.Wait(), 0);
    EXPECT_EQ(process_.Stdout(), std::string(ConsoleStart) + ConsoleStop);
}

TEST_F(ServiceFaultTest, AFifoInPlaceOfACounterFileBlocksNeitherSamplingNorTheStop)
{
    // A FIFO without a writer once held the sampling thread for ever, so that even Control-C
    // could not end the program. Counter files are opened without blocking and only regular
    // files are read: the counter has no value, the other counters are logged, a stop ends it.
    const std::string loadavg = machine_.Proc("loadavg");
    fs::remove(loadavg);
    ASSERT_EQ(::mkfifo(loadavg.c_str(), 0644), 0);
    WriteFile(root_ / "threads.qlmd", ProfileText(1, 1, 0, {{"Threads", "\\Objects\\Threads", 1000, 800},
                                                            {"Committed", "\\Memory\\% Committed Bytes In Use"}}));
    RunUntilLogged({"-run", root_ / "threads.qlmd"}, root_ / "Logs/threads-log.html");
    EXPECT_EQ(process_.Stderr(), "");
}

} // namespace
