// The log's bytes: HTML and CSV layouts against golden files, rotation, names and modes.

#include "log_test_support.h"

namespace quel::test {
namespace {

constexpr double MiB = 1048576.0;

class LogLayoutTest : public LogTest {
protected:
    LogLayoutTest()
    {
        AddAxis("% Processor Time", 100.0, 80.0);
        AddAxis("Used <Memory> & \"Swap\"", 1024.0, 900.0, MiB, true);
        AddAxis("Reads, Writes", 50.0, 10.0);
    }

    // Four rows of one start (first row, arrows, critical marks, a failed read, a value equal
    // to its critical value), then a restart an hour later with one more row.
    void WriteTwoStarts()
    {
        OpenAndStart();
        Row({37.5, 512 * MiB, 3.0});
        Row({85.25, 1024 * MiB, 12.0});
        Row({85.254, -1.0, 12.001});
        Row({80.0, 1000 * MiB, 9.99});
        writer.ClearValues();
        writer.CloseLog();

        clock.now += 3600;
        OpenAndStart();
        Row({1.0, 2 * MiB, 0.0});
    }
};

TEST_F(LogLayoutTest, HtmlLogOfTwoStartsMatchesGoldenFile)
{
    WriteTwoStarts();
    EXPECT_EQ(ReadFile(HtmlLog()), Fixture("two-starts.html"));
    EXPECT_EQ(writer.GetLogPath(), HtmlLog().string());
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(LogLayoutTest, CsvLogOfTwoStartsMatchesGoldenFile)
{
    settings.LogFormat = 1;
    WriteTwoStarts();
    EXPECT_EQ(ReadFile(CsvLog()), Fixture("two-starts.csv"));
    EXPECT_EQ(writer.GetLogPath(), CsvLog().string());
}

TEST_F(LogTest, RotationAtSizeLimitMovesTheLogToTheBackupAndLinksIt)
{
    AddAxis("Load", 100.0, 80.0);
    settings.LogFileSize = 1;
    std::filesystem::create_directory(LogFolder());
    WriteFile(HtmlBackup(), "an older backup");

    OpenAndStart();
    while (std::filesystem::file_size(HtmlLog()) < 1024)
        Row({50.0});
    const std::string beforeRotation = ReadFile(HtmlLog());
    Row({60.0});

    EXPECT_EQ(ReadFile(HtmlBackup()), beforeRotation);
    EXPECT_EQ(ReadFile(HtmlLog()), Fixture("rotated.html"));
}

TEST_F(LogTest, CleanLogKeepsTheOldLogAsBackupAndStartsAFreshOne)
{
    AddAxis("Load", 100.0, 80.0);
    settings.LogFormat = 1;
    OpenAndStart();
    Row({50.0});
    const std::string old = ReadFile(CsvLog());

    writer.CleanLog(Context());
    Row({51.0});

    EXPECT_EQ(ReadFile(LogFolder() / "Disk Watch-log-bkup.csv"), old);
    EXPECT_EQ(ReadFile(CsvLog()), "Quellarimond Log: Disk Watch\r\n"
                                  "\r\n"
                                  "Started on Tuesday 03/05/2024 at 14:07:11\r\n"
                                  "Date,Time,Load\r\n"
                                  "03/05,14:07:13,51.00\r\n");
}

TEST_F(LogTest, ValueModeWritesARowOnlyWhenAValueChangesAtTwoDecimals)
{
    AddAxis("Load", 100.0, 80.0);
    settings.LogMode = 2;
    OpenAndStart();
    const std::string rows = "<tr bgcolor=";

    Row({1.001});  // the first row of an opening is always written
    EXPECT_EQ(CountOf(ReadFile(HtmlLog()), rows), 1);
    Row({1.004});  // 1.00 again
    EXPECT_EQ(CountOf(ReadFile(HtmlLog()), rows), 1);
    Row({1.006});  // 1.01
    EXPECT_EQ(CountOf(ReadFile(HtmlLog()), rows), 2);
    Row({1.006});
    EXPECT_EQ(CountOf(ReadFile(HtmlLog()), rows), 2);
    Row({-1.0});  // the read failed
    EXPECT_EQ(CountOf(ReadFile(HtmlLog()), rows), 3);
    EXPECT_NE(ReadFile(HtmlLog()).find("<td nowrap bgcolor=silver>N/A</td>"), std::string::npos);
}

TEST_F(LogTest, StateModeWritesARowWhenACounterCrossesItsCriticalValueOrFails)
{
    AddAxis("Load", 100.0, 80.0);
    AddAxis("Queue", 10.0, 5.0);
    settings.LogMode = 3;
    settings.LogFormat = 1;
    OpenAndStart();
    const auto rows = [&] { return CountOf(ReadFile(CsvLog()), "03/05,"); };

    Row({10.0, 1.0});  // first row
    EXPECT_EQ(rows(), 1);
    Row({20.0, 2.0});  // values change, states do not
    EXPECT_EQ(rows(), 1);
    Row({85.0, 2.0});  // crosses its critical value
    EXPECT_EQ(rows(), 2);
    Row({90.0, 2.0});
    EXPECT_EQ(rows(), 2);
    Row({50.0, 2.0});  // back below it
    EXPECT_EQ(rows(), 3);
    Row({50.0, -1.0});  // starts to fail
    EXPECT_EQ(rows(), 4);
    Row({50.0, -1.0});
    EXPECT_EQ(rows(), 4);
    Row({50.0, 1.0});  // stops failing
    EXPECT_EQ(rows(), 5);
    EXPECT_NE(ReadFile(CsvLog()).find(",50.00,N/A\r\n"), std::string::npos);
}

TEST_F(LogTest, ModeZeroOpensNoLog)
{
    AddAxis("Load", 100.0, 80.0);
    settings.LogMode = 0;
    OpenAndStart();
    Row({1.0});
    EXPECT_FALSE(std::filesystem::exists(HtmlLog()));
    EXPECT_EQ(writer.GetLogPath(), HtmlLog().string());
}

TEST_F(LogTest, ChangingTheFormatReopensUnderTheOtherName)
{
    AddAxis("Load", 100.0, 80.0);
    OpenAndStart();
    Row({1.0});
    settings.LogFormat = 1;
    writer.OpenLog(false, Context());
    writer.StartLogSection(Context());
    Row({2.0});

    EXPECT_EQ(writer.GetLogPath(), CsvLog().string());
    EXPECT_EQ(CountOf(ReadFile(HtmlLog()), "<tr bgcolor="), 1);
    EXPECT_EQ(CountOf(ReadFile(CsvLog()), "03/05,"), 1);
}

TEST_F(LogTest, WithoutALocationNothingIsWritten)
{
    AddAxis("Load", 100.0, 80.0);
    writer.OpenLog(false, Context());
    Start();
    Row({1.0});
    EXPECT_EQ(writer.GetLogPath(), "");
    EXPECT_FALSE(std::filesystem::exists("Logs/-log.html"));
    EXPECT_FALSE(std::filesystem::exists("-log.html"));
}

TEST_F(LogTest, LinksToFileNamesWithSpecialCharactersStayFileNames)
{
    AddAxis("Load", 100.0, 80.0);
    writer.SetLogLocation((folder.Path() / "R&D #2.qlmd").string(), true, Context());
    const std::string log = ReadFile(LogFolder() / "R&D #2-log.html");
    EXPECT_NE(log.find("Quellarimond Log: R&amp;D #2</h1>"), std::string::npos);
    EXPECT_NE(log.find("<a href=\"R&amp;D %232-log.html\">Current Log</a>"), std::string::npos);
}

} // namespace
} // namespace quel::test
