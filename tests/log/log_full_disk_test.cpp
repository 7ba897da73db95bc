// A log on a full disk, or at a file size limit: a row is written whole or not at all, the
// failure is reported once, and the rows go on where they belong once there is space again.

#include "log_test_support.h"

#include "platform/file_size_signal.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <regex>

#include <sys/mount.h>
#include <sys/resource.h>

namespace quel::test {
namespace {

void LimitFileSize(rlim_t bytes)
{
    struct rlimit limit {};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

// The table of the log's one section holds nothing but whole rows, and the file ends with
// the footer right after them.
void ExpectOneSectionOfWholeRows(const std::string& log, int rows)
{
    EXPECT_EQ(CountOf(log, "<p><font size=+1>"), 1) << log;
    const std::size_t body = log.find(" </tr>\r\n\r\n");
    ASSERT_NE(body, std::string::npos);
    const std::string table = log.substr(body + 10);
    static const std::regex wholeRows(
        "( <tr bgcolor=(aliceblue|whitesmoke)><td>[0-9/]+</td><td>[0-9:]+</td>\r\n"
        "(  <td nowrap [a-z=]*>[0-9.]+( <font color=[a-z]+><b>&[ud]arr;</b></font>)?</td>\r\n)+"
        " </tr>\r\n)*</table><a name=end></body></html>");
    EXPECT_TRUE(std::regex_match(table, wholeRows)) << table;
    EXPECT_EQ(CountOf(log, "<tr bgcolor="), rows);
    EXPECT_EQ(CountOf(log, "aliceblue"), (rows + 1) / 2);
}

int CsvRowCount(const std::string& log)
{
    int rows = 0;
    for (const std::string& line : SplitLines(log))
        rows += line.starts_with("03/") ? 1 : 0;
    return rows;
}

void ExpectWholeCsvLines(const std::string& log, int rows)
{
    EXPECT_TRUE(log.ends_with("\r\n"));
    for (const std::string& line : SplitLines(log)) {
        if (line.starts_with("03/")) {
            EXPECT_TRUE(std::regex_match(line, std::regex("03/05,[0-9:]{8},[0-9.]+\r"))) << line;
        }
    }
    EXPECT_EQ(CsvRowCount(log), rows);
}

class LogFullDiskTest : public LogTest {
protected:
    LogFullDiskTest() { AddAxis("Load", 100.0, 80.0); }

    // In a child process: two rows, then a size limit at the file's size, three rows
    // that do not fit, the limit lifted, two more rows. Returns the child's exit code: the
    // number of messages, or -1 when a signal killed it; the messages go to MessagesFile().
    int WriteThroughALimit()
    {
        return InChild([this] {
            IgnoreFileSizeSignal();
            OpenAndStart();
            Row({10.0});
            Row({20.0});
            const std::filesystem::path log = settings.LogFormat == 1 ? CsvLog() : HtmlLog();
            // HTML rows begin inside the limit and are cut; CSV rows begin at it and fail.
            LimitFileSize(std::filesystem::file_size(log));
            Row({30.0});
            Row({40.0});
            Row({50.0});
            LimitFileSize(RLIM_INFINITY);
            Row({60.0});
            Row({70.0});
            std::string said;
            for (const std::string& message : sink.messages)
                said += message + "\n";
            WriteFile(MessagesFile(), said);
            return static_cast<int>(sink.messages.size());
        });
    }

    std::filesystem::path MessagesFile() const { return folder.Path() / "messages.txt"; }
};

TEST_F(LogFullDiskTest, HtmlRowsThatDoNotFitAreLeftOutWholeAndTheTableGoesOn)
{
    EXPECT_EQ(WriteThroughALimit(), 1);  // one message box, not one per row
    const std::string log = ReadFile(HtmlLog());
    ExpectOneSectionOfWholeRows(log, 4);
    EXPECT_NE(log.find(">20.00 <font color=red><b>&uarr;</b></font></td>\r\n </tr>\r\n <tr bgcolor=aliceblue>"
                       "<td>03/05</td><td>14:07:21</td>\r\n  <td nowrap >60.00 <font"),
              std::string::npos);
}

TEST_F(LogFullDiskTest, CsvLogEndsAtItsLastWholeLine)
{
    settings.LogFormat = 1;
    EXPECT_EQ(WriteThroughALimit(), 1);
    const std::string log = ReadFile(CsvLog());
    ExpectWholeCsvLines(log, 4);
    EXPECT_NE(log.find(",20.00\r\n03/05,14:07:21,60.00\r\n"), std::string::npos);
}

TEST_F(LogFullDiskTest, ServiceSaysOnceWhenRowsStopAndOnceWhenTheyGoOn)
{
    interactive = false;
    problems = &sink;
    EXPECT_EQ(WriteThroughALimit(), 2);
    ExpectOneSectionOfWholeRows(ReadFile(HtmlLog()), 4);
}

TEST_F(LogFullDiskTest, ServiceNamesTheSizeLimitNotAFullDisk)
{
    // HTML rows are cut at the limit (a short write, no error number); CSV rows fail at once.
    interactive = false;
    problems = &sink;
    for (int format : {0, 1}) {
        settings.LogFormat = format;
        EXPECT_EQ(WriteThroughALimit(), 2);
        const std::string path = (format == 1 ? CsvLog() : HtmlLog()).string();
        EXPECT_EQ(ReadFile(MessagesFile()), "cannot write to the log " + path +
                                                ": File too large; rows are left out until it can be written again\n"
                                                "the log " + path + " is written again\n");
    }
}

TEST_F(LogFullDiskTest, WithoutTheSignalIgnoredTheLimitKillsTheWriter)
{
    // What the programs are kept from: the default action of SIGXFSZ ends the process.
    const int code = InChild([this] {
        std::signal(SIGXFSZ, SIG_DFL);
        OpenAndStart();
        LimitFileSize(100);  // below the offset the row is written at
        Row({10.0});
        return 0;
    });
    EXPECT_EQ(code, -1);
}

// The same on a real full file system: a tiny tmpfs, filled up by another file.
class TinyFileSystemTest : public LogFullDiskTest {
protected:
    void SetUp() override
    {
        mountPoint = folder.Path() / "tiny";
        std::filesystem::create_directory(mountPoint);
        if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
        mounted = true;
    }
    void TearDown() override
    {
        writer.CloseLog();
        if (mounted)
            ::umount(mountPoint.c_str());
    }

    // Fills the file system up to the last few bytes.
    void Fill()
    {
        const std::string chunk(512, 'x');
        std::FILE* file = std::fopen((mountPoint / "filler").c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::setvbuf(file, nullptr, _IONBF, 0);
        while (std::fwrite(chunk.data(), 1, chunk.size(), file) == chunk.size()) {
        }
        std::fwrite(chunk.data(), 1, 1, file);
        std::fclose(file);
    }

    std::filesystem::path mountPoint;
    bool mounted = false;
};

TEST_F(TinyFileSystemTest, FullDiskLeavesOnlyWholeRowsAndLoggingGoesOnWhenSpaceReturns)
{
    for (int format : {0, 1}) {
        settings.LogFormat = format;
        sink.messages.clear();
        writer.SetLogLocation((mountPoint / "Disk Watch.qlmd").string(), false, Context());
        Start();
        Row({10.0});
        Fill();
        constexpr int Tried = 250;  // more than fit in the slack of the file's last page
        for (int i = 0; i < Tried; ++i)
            Row({20.0 + i});
        std::filesystem::remove(mountPoint / "filler");
        Row({90.0});
        Row({95.0});
        writer.CloseLog();

        const std::filesystem::path log = mountPoint / "Logs" / (format == 1 ? "Disk Watch-log.csv" : "Disk Watch-log.html");
        const std::string text = ReadFile(log);
        const int rows = format == 1 ? CsvRowCount(text) : CountOf(text, "<tr bgcolor=");
        EXPECT_GE(rows, 3);
        EXPECT_LT(rows, Tried + 3);
        if (format == 1)
            ExpectWholeCsvLines(text, rows);
        else
            ExpectOneSectionOfWholeRows(text, rows);
        EXPECT_NE(text.find("95.00"), std::string::npos);
        EXPECT_EQ(sink.messages.size(), 1u);
        std::filesystem::remove(log);
    }
}

} // namespace
} // namespace quel::test
