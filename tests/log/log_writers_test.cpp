// Two writers of one log (two programs logging the same profile): rows never mix inside a
// line, none is lost, and the file keeps one ending.

#include "log_test_support.h"

#include <unistd.h>

namespace quel::test {
namespace {

constexpr int RowsEach = 3000;

class TwoWritersTest : public LogTest {
protected:
    TwoWritersTest()
    {
        AddAxis("Load", 100.0, 80.0);
        settings.LogFileSize = 10240;  // KiB: no rotation
    }

    // Two child processes, let go at the same moment, write RowsEach rows each.
    void WriteFromTwoProcesses()
    {
        int gate[2];
        ASSERT_EQ(::pipe(gate), 0);
        std::vector<pid_t> children;
        for (double value : {11.0, 22.0}) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::close(gate[1]);
                OpenAndStart();
                char go = 0;
                if (::read(gate[0], &go, 1) != 0)
                    ::_exit(2);
                for (int i = 0; i < RowsEach; ++i)
                    Row({value + (i % 2)});  // a change every row, so that mode 2 would write too
                writer.CloseLog();
                ::_exit(0);
            }
            children.push_back(pid);
        }
        ::close(gate[0]);
        ::close(gate[1]);  // end of file lets both go
        for (pid_t child : children) {
            int status = 0;
            ::waitpid(child, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
    }
};

TEST_F(TwoWritersTest, HtmlRowsStayWholeAndNoneIsLost)
{
    WriteFromTwoProcesses();
    const std::string log = ReadFile(HtmlLog());
    const std::vector<std::string> lines = SplitLines(log);
    int rows = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].starts_with(" <tr bgcolor="))
            continue;
        ++rows;
        ASSERT_LT(i + 2, lines.size());
        EXPECT_TRUE(lines[i + 1].starts_with("  <td nowrap >") && lines[i + 1].ends_with("</td>\r")) << lines[i + 1];
        EXPECT_EQ(lines[i + 2], " </tr>\r");
    }
    EXPECT_EQ(rows, 2 * RowsEach);
    EXPECT_EQ(CountOf(log, "<p><font size=+1>"), 2);
    EXPECT_EQ(CountOf(log, "</html>"), 1);
    EXPECT_TRUE(log.ends_with(TableFooter));
}

TEST_F(TwoWritersTest, CsvLinesStayWholeAndNoneIsLost)
{
    settings.LogFormat = 1;
    WriteFromTwoProcesses();
    int rows = 0;
    for (const std::string& line : SplitLines(ReadFile(CsvLog()))) {
        if (!line.starts_with("03/"))
            continue;
        ++rows;
        EXPECT_EQ(line.size(), std::string("03/05,14:07:11,11.00\r").size()) << line;
    }
    EXPECT_EQ(rows, 2 * RowsEach);
}

TEST_F(TwoWritersTest, RotationByOneWriterIsFollowedByTheOther)
{
    settings.LogFileSize = 4;  // KiB: each writer meets the limit several times
    WriteFromTwoProcesses();
    const std::string log = ReadFile(HtmlLog());
    const std::string backup = ReadFile(HtmlBackup());
    for (const std::string* file : {&log, &backup}) {
        EXPECT_EQ(CountOf(*file, "<html>"), 1);
        EXPECT_EQ(CountOf(*file, "</html>"), 1);
        EXPECT_TRUE(file->ends_with(TableFooter));
        EXPECT_EQ(CountOf(*file, "<tr bgcolor="), CountOf(*file, " </tr>") - CountOf(*file, "<th>Date</th>"));
    }
    EXPECT_LT(log.size(), 4 * 1024 + 200u);
}

} // namespace
} // namespace quel::test
