// A damaged log is never overwritten in its middle, and a log that cannot be written never
// stops the writer.

#include "log_test_support.h"

#include <sys/stat.h>

namespace quel::test {
namespace {

class LogFaultTest : public LogTest {
protected:
    LogFaultTest() { AddAxis("Load", 100.0, 80.0); }

    // A closed log of one start with two rows.
    std::string WriteClosedLog()
    {
        OpenAndStart();
        Row({10.0});
        Row({20.0});
        writer.CloseLog();
        return ReadFile(HtmlLog());
    }
};

TEST_F(LogFaultTest, RestartedLogAppendsItsSectionAfterTheClosedTable)
{
    const std::string old = WriteClosedLog();
    OpenAndStart();
    Row({30.0});

    const std::string log = ReadFile(HtmlLog());
    const std::string kept = old.substr(0, old.size() - HeaderFooter.size());
    EXPECT_TRUE(log.starts_with(kept));
    EXPECT_TRUE(kept.ends_with("</table>"));
    EXPECT_EQ(log.substr(kept.size(), 9), "\r\n<p><fon");
    EXPECT_TRUE(log.ends_with(TableFooter));
    EXPECT_EQ(CountOf(log, "<html>"), 1);
}

TEST_F(LogFaultTest, TruncatedLogKeepsEveryByteAndGetsANewSectionAfterIt)
{
    const std::string old = WriteClosedLog();
    const std::string truncated = old.substr(0, old.size() - 50);
    WriteFile(HtmlLog(), truncated);

    OpenAndStart();
    Row({30.0});

    const std::string log = ReadFile(HtmlLog());
    EXPECT_TRUE(log.starts_with(truncated));
    EXPECT_EQ(log.substr(truncated.size(), 9), "\r\n<p><fon");
    EXPECT_NE(log.find("<td nowrap >30.00</td>"), std::string::npos);
    EXPECT_TRUE(log.ends_with(TableFooter));
}

TEST_F(LogFaultTest, ForeignEndingIsKeptAndTheSectionFollowsIt)
{
    const std::string edited = WriteClosedLog() + "\r\n<!-- saved by a browser -->\r\n";
    WriteFile(HtmlLog(), edited);

    OpenAndStart();
    Row({30.0});

    const std::string log = ReadFile(HtmlLog());
    EXPECT_TRUE(log.starts_with(edited));
    EXPECT_EQ(log.substr(edited.size(), 9), "\r\n<p><fon");
}

TEST_F(LogFaultTest, EmptiedLogGetsAFreshHeaderWhetherClosedOrOpen)
{
    WriteClosedLog();
    WriteFile(HtmlLog(), "");
    OpenAndStart();
    Row({30.0});
    std::string log = ReadFile(HtmlLog());
    EXPECT_TRUE(log.starts_with("<html><body>\r\n<h1>"));
    EXPECT_EQ(CountOf(log, "<tr bgcolor="), 1);
    EXPECT_EQ(log.find("Backup Log"), std::string::npos);

    std::filesystem::resize_file(HtmlLog(), 0);  // while the log is open
    Row({20.0});
    log = ReadFile(HtmlLog());
    EXPECT_TRUE(log.starts_with("<html><body>\r\n<h1>"));
    EXPECT_EQ(log.find('\0'), std::string::npos);
    EXPECT_EQ(CountOf(log, "<tr bgcolor="), 1);
    EXPECT_TRUE(log.ends_with(TableFooter));
}

TEST_F(LogFaultTest, RowWithoutASectionStartsOneInsteadOfCuttingTheHeader)
{
    writer.SetLogLocation(ProfilePath().string(), false, Context());
    writer.ResetValues(1);
    Row({10.0});

    const std::string log = ReadFile(HtmlLog());
    EXPECT_NE(log.find("Current Log</a><br>\r\n\r\n<p><font size=+1>"), std::string::npos);
    EXPECT_EQ(CountOf(log, "<tr bgcolor=aliceblue>"), 1);
    EXPECT_TRUE(log.ends_with(TableFooter));
}

TEST_F(LogFaultTest, FailedRotationKeepsTheLogGrowingWithoutABackupLink)
{
    const std::string old = WriteClosedLog();
    std::filesystem::create_directories(HtmlBackup() / "not empty");

    writer.SetLogLocation(ProfilePath().string(), false, Context());
    writer.CleanLog(Context());
    Row({30.0});

    const std::string log = ReadFile(HtmlLog());
    EXPECT_TRUE(log.starts_with(old.substr(0, old.size() - HeaderFooter.size())));
    EXPECT_EQ(log.find("Backup Log"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(HtmlBackup() / "not empty"));
}

TEST_F(LogFaultTest, LogFolderThatCannotBeMadeMeansNoLogAndNoMessage)
{
    WriteFile(LogFolder(), "a file where the folder belongs");
    OpenAndStart();
    Row({10.0});
    writer.CleanLog(Context());
    Row({20.0});

    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(ReadFile(LogFolder()), "a file where the folder belongs");
}

TEST_F(LogFaultTest, LogThatCannotBeOpenedIsReportedOnlyWhenInteractive)
{
    std::filesystem::create_directories(HtmlLog());
    OpenAndStart();
    Row({10.0});
    Row({20.0});
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0], "Cannot write to file: " + HtmlLog().string());

    interactive = false;
    OpenAndStart();
    Row({30.0});
    EXPECT_EQ(sink.messages.size(), 1u);
}

TEST_F(LogFaultTest, PipeInPlaceOfTheLogIsNoLogAndNoHang)
{
    settings.LogFormat = 1;
    std::filesystem::create_directories(LogFolder());
    ASSERT_EQ(mkfifo(CsvLog().c_str(), 0600), 0);
    OpenAndStart();
    Row({10.0});
    EXPECT_EQ(sink.messages, std::vector<std::string> {"Cannot write to file: " + CsvLog().string()});
}

} // namespace
} // namespace quel::test
