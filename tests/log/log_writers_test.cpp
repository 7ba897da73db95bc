// Two writers of one log (two programs logging the same profile): the first to open it is its
// only writer until it closes it; the other writes nothing, in the same process or another.

#include "log_test_support.h"

#include <unistd.h>

namespace quel::test {
namespace {

class OneWriterTest : public LogTest {
protected:
    OneWriterTest() { AddAxis("Load", 100.0, 80.0); }

    int Sections(const std::string& log) const { return CountOf(log, "<p><font size=+1>"); }
};

TEST_F(OneWriterTest, ASecondWriterLeavesTheLogAloneUntilTheFirstCloses)
{
    settings.LogFileSize = 1;  // KiB: the first writer rotates, and keeps its log all the same
    OpenAndStart();
    for (int i = 0; i < 20; ++i)
        Row({10.0 + i % 2});
    ASSERT_TRUE(std::filesystem::exists(HtmlBackup())) << "the log was rotated";
    settings.LogFileSize = 1024;
    const std::string before = ReadFile(HtmlLog());

    const auto offerRows = [this](LogWriter& other, int format) {
        MonitorSettings theirs = settings;
        theirs.LogFormat = format;
        const LogContext context {rose, theirs, interactive, &sink, clock, problems};
        other.SetLogLocation(ProfilePath().string(), false, context);
        other.ResetValues(rose.GetAxisCount());
        other.StartLogSection(context);
        for (double value : {55.0, 66.0})
            other.WriteLogRow(SampleOf(rose, std::vector<double> {value}), context);
        return other.IsWrittenElsewhere();
    };
    // Another object in this process, in either format, and another process.
    LogWriter second;
    EXPECT_TRUE(offerRows(second, 0));
    LogWriter csv;
    EXPECT_TRUE(offerRows(csv, 1));
    EXPECT_EQ(InChild([&] {
                  LogWriter other;
                  return offerRows(other, 0) ? 0 : 1;
              }),
              0);
    EXPECT_EQ(ReadFile(HtmlLog()), before);
    EXPECT_FALSE(std::filesystem::exists(CsvLog()));
    EXPECT_FALSE(writer.IsWrittenElsewhere());
    EXPECT_TRUE(sink.messages.empty()) << "nothing is said where a message box would show it";

    Row({12.0});
    std::string log = ReadFile(HtmlLog());
    EXPECT_EQ(Sections(log), 1) << log;
    EXPECT_EQ(CountOf(log, "<td nowrap >55.00</td>"), 0);

    // Closed, the log goes to the next writer, which starts its own section.
    writer.CloseLog();
    EXPECT_FALSE(offerRows(second, 0));
    log = ReadFile(HtmlLog());
    EXPECT_EQ(Sections(log), 2) << log;
    EXPECT_EQ(CountOf(log, "<td nowrap >55.00</td>"), 1) << log;
    EXPECT_TRUE(log.ends_with(TableFooter));
}

TEST_F(OneWriterTest, AProgramEndingGivesTheLogBack)
{
    int ready[2];
    int finish[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(finish), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(finish[1]);
        OpenAndStart();
        char byte = 1;
        (void)!::write(ready[1], &byte, 1);
        (void)!::read(finish[0], &byte, 1);
        ::_exit(0);  // no CloseLog: the process ending gives the lock back
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    interactive = false;
    problems = &sink;
    writer.SetLogLocation(ProfilePath().string(), true, Context());
    EXPECT_TRUE(writer.IsWrittenElsewhere());
    ASSERT_EQ(sink.messages.size(), 1u) << "a program without message boxes says it once";
    EXPECT_NE(sink.messages[0].find("is written by another program"), std::string::npos) << sink.messages[0];

    ::close(finish[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    writer.SetLogLocation(ProfilePath().string(), true, Context());
    EXPECT_FALSE(writer.IsWrittenElsewhere());
    Row({42.0});
    EXPECT_EQ(CountOf(ReadFile(HtmlLog()), "<td nowrap >42.00</td>"), 1);
    for (int fd : {ready[0], ready[1], finish[0]})
        ::close(fd);
}

} // namespace
} // namespace quel::test
