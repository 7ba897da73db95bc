// quelmondsrvc -run: the console logger, end to end against the built program.

#include "service_test_support.h"
#include "support/server_process.h"

#include "log/log_owner_lock.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

namespace fs = std::filesystem;
using namespace quel::test;

namespace {

const std::vector<TestAxis> TwoAxes = {
    {"Committed", "\\Memory\\% Committed Bytes In Use", 200, 150, 1},
    {"Net", "\\Network Interface(ens3)\\Bytes Total/sec", 100000, 50000, 1},
};

class ConsoleRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(root_ / "profiles");
        machine_.Use(process_);
        process_.SetEnv("QUELLARIMOND_SYSTEM_CONFIG", root_ / "missing.conf");
        process_.SetEnv("XDG_DATA_HOME", root_ / "data");
    }

    // Waits until the log holds more rows than before, and returns it.
    std::string NextRows(const std::string& log, int rowsBefore, bool csv) const
    {
        std::string text;
        WaitFor([&] {
            text = ReadFile(log);
            return (csv ? static_cast<int>(CsvRows(text).size()) : HtmlRows(text)) > rowsBefore;
        });
        return text;
    }

    TempFolder root_;
    FixtureMachine machine_;
    ServiceProcess process_;
};

TEST_F(ConsoleRunTest, HtmlLogFollowsChangingCountersUntilControlC)
{
    WriteFile(root_ / "profiles/web.qlmd", ProfileText(1, 1, 0, TwoAxes));
    process_.SetWorkingFolder(root_ / "profiles");
    ASSERT_TRUE(process_.Start({"-run", "web.qlmd"}));  // relative to the working folder
    const std::string log = root_ / "profiles/Logs/web-log.html";

    std::string html = NextRows(log, 1, false);
    ASSERT_GE(HtmlRows(html), 2) << process_.Stderr();
    EXPECT_NE(html.find("<th>Committed</th>"), std::string::npos);
    EXPECT_NE(html.find("Logging is set to track every update of counter values."), std::string::npos);
    EXPECT_NE(html.find("<td nowrap >125.00</td>"), std::string::npos);  // 2500000 of 2000000 kB

    machine_.Replace("proc/meminfo", "Committed_AS:    2500000", "Committed_AS:    3200000");
    html = NextRows(log, HtmlRows(html), false);
    WaitFor([&] { return (html = ReadFile(log)).find("160.00 <font color=red><b>&uarr;") != std::string::npos; });
    EXPECT_NE(html.find("<td nowrap bgcolor=pink>160.00 <font color=red><b>&uarr;</b></font></td>"), std::string::npos);

    machine_.Replace("proc/meminfo", "Committed_AS:    3200000", "Committed_AS:    1000000");
    WaitFor([&] { return (html = ReadFile(log)).find("50.00 <font color=green><b>&darr;") != std::string::npos; });
    EXPECT_NE(html.find("<td nowrap >50.00 <font color=green><b>&darr;</b></font></td>"), std::string::npos);

    machine_.Replace("proc/net/dev", "  ens3:", "  gone:");
    WaitFor([&] { return (html = ReadFile(log)).find("bgcolor=silver>N/A") != std::string::npos; });
    EXPECT_NE(html.find("<td nowrap bgcolor=silver>N/A</td>"), std::string::npos);

    ASSERT_TRUE(process_.Signal(SIGINT));
    EXPECT_EQ(process_.Wait(), 0);
    EXPECT_EQ(process_.Stdout(), std::string(ConsoleStart) + ConsoleStop);
    EXPECT_EQ(process_.Stderr(), "");
    html = ReadFile(log);
    EXPECT_EQ(html.substr(html.size() - 34), "</table><a name=end></body></html>");
}

TEST_F(ConsoleRunTest, CsvLogAndControlBreak)
{
    WriteFile(root_ / "profiles/db.qlmd", ProfileText(1, 1, 1, TwoAxes));
    ASSERT_TRUE(process_.Start({"-RUN", root_ / "profiles/db.qlmd"}));
    const std::string log = root_ / "profiles/Logs/db-log.csv";

    std::string csv = NextRows(log, 0, true);
    ASSERT_FALSE(CsvRows(csv).empty()) << process_.Stderr();
    EXPECT_EQ(csv.rfind("Quellarimond Log: db", 0), 0u);
    EXPECT_NE(csv.find("Date,Time,Committed,Net"), std::string::npos);
    EXPECT_NE(CsvRows(csv).front().find(",125.00,"), std::string::npos);

    machine_.Replace("proc/net/dev", "  ens3:", "  gone:");
    WaitFor([&] {
        const auto rows = CsvRows(csv = ReadFile(log));
        return !rows.empty() && rows.back().ends_with(",125.00,N/A");
    });
    EXPECT_TRUE(CsvRows(csv).back().ends_with(",125.00,N/A")) << csv;

    ASSERT_TRUE(process_.Signal(SIGQUIT));
    EXPECT_EQ(process_.Wait(), 0);
    EXPECT_EQ(process_.Stdout(), std::string(ConsoleStart) + ConsoleStop);
}

TEST_F(ConsoleRunTest, TerminateStopsAsWell)
{
    WriteFile(root_ / "profiles/web.qlmd", ProfileText(1, 1, 0, TwoAxes));
    ASSERT_TRUE(process_.Start({"/run", root_ / "profiles/web.qlmd"}));
    NextRows(root_ / "profiles/Logs/web-log.html", 0, false);
    ASSERT_TRUE(process_.Signal(SIGTERM));
    EXPECT_EQ(process_.Wait(), 0);
    EXPECT_EQ(process_.Stdout(), std::string(ConsoleStart) + ConsoleStop);
}

// A profile whose log another program writes is sampled without logging, said in one line.
TEST_F(ConsoleRunTest, ALogWrittenByAnotherProgramIsLeftAloneAndSaidOnce)
{
    WriteFile(root_ / "profiles/web.qlmd", ProfileText(1, 1, 0, TwoAxes));
    fs::create_directory(root_ / "profiles/Logs");
    quel::LogOwnerLock other;
    ASSERT_EQ(other.Take(root_ / "profiles/Logs/web-log.lock"), quel::LogOwnerLock::Result::Owned);
    ASSERT_TRUE(process_.Start({"-run", root_ / "profiles/web.qlmd"}));
    WaitFor([&] { return process_.Stderr().ends_with("\n"); });
    ASSERT_TRUE(process_.Signal(SIGINT));
    EXPECT_EQ(process_.Wait(), 0);
    EXPECT_EQ(process_.Stderr(), "quelmondsrvc: the log " + (root_ / "profiles/Logs/web-log.html").string() +
                                     " is written by another program; this profile is sampled without logging\n");
    EXPECT_FALSE(fs::exists(root_ / "profiles/Logs/web-log.html"));
}

TEST_F(ConsoleRunTest, WithoutProfileLogsTheDefaultCountersBesideTheProgram)
{
    TempFolder bin;
    process_.SetProgram(CopyOfBinary(bin));
    ASSERT_TRUE(process_.Start({"-run"}));
    const std::string log = bin / "Logs/ServiceDefault-log.html";
    const std::string html = NextRows(log, 0, false);
    ASSERT_EQ(HtmlRows(html), 1) << process_.Stderr();
    EXPECT_NE(html.find("Quellarimond Log: ServiceDefault</h1>"), std::string::npos);
    EXPECT_NE(html.find("Logging is set to track changes in counter values only."), std::string::npos);
    for (const char* column : {"% CPU", "# Processes", "# Threads", "% Memory", "% Virtual Memory", "% Disk Space Used",
                               "% Hard Drive Time"})
        EXPECT_NE(html.find(std::string("<th>") + column + "</th>"), std::string::npos) << column;
    ASSERT_TRUE(process_.Signal(SIGINT));
    EXPECT_EQ(process_.Wait(), 0);
    EXPECT_EQ(process_.Stderr(), "");
    EXPECT_FALSE(fs::exists(root_ / "data"));
}

TEST_F(ConsoleRunTest, ProfileOnTheCommandLineWinsOverTheRegistry)
{
    fs::create_directories(root_ / "a");
    fs::create_directories(root_ / "b");
    WriteFile(root_ / "a/chosen.qlmd", ProfileText(1, 1, 0, TwoAxes));
    WriteFile(root_ / "b/given.qlmd", ProfileText(1, 1, 0, TwoAxes));
    WriteFile(root_ / "settings.conf", "[Service]\nProfile=" + (root_ / "a/chosen.qlmd").string() + "\n");
    process_.SetEnv("QUELLARIMOND_SYSTEM_CONFIG", root_ / "settings.conf");

    ASSERT_TRUE(process_.Start({"-run", root_ / "b/given.qlmd"}));
    NextRows(root_ / "b/Logs/given-log.html", 0, false);
    ASSERT_TRUE(process_.Signal(SIGINT));
    EXPECT_EQ(process_.Wait(), 0);
    EXPECT_FALSE(fs::exists(root_ / "a/Logs"));

    ASSERT_TRUE(process_.Start({"-run"}));
    NextRows(root_ / "a/Logs/chosen-log.html", 0, false);
    ASSERT_TRUE(process_.Signal(SIGINT));
    EXPECT_EQ(process_.Wait(), 0);
}

// The static program cannot load the HTTP module: a profile with another computer's counter
// runs the module host, whose log then holds the value that computer's page gives.
TEST_F(ConsoleRunTest, CountersOfAnotherComputerAreLogged)
{
    WriteFile(root_ / "page.txt",
              "quellarimond_axis_current_value{profile=\"p\",axis=\"A\",path=\"\\\\Memory\\\\Available Bytes\"} 42\n");
    ServerProcess server;
    ASSERT_TRUE(server.Start(FakeMetricsServer("page", root_ / "page.txt")));
    const std::string remote = "\\\\127.0.0.1:" + std::to_string(server.Port()) + "\\Memory\\Available Bytes";
    WriteFile(root_ / "profiles/remote.qlmd", ProfileText(1, 1, 1, {{"Remote", remote, 100, 50, 1}}));
    process_.SetEnv("QUELLARIMOND_MODULE_DIR", QUEL_MODULE_BUILD_DIR);

    ASSERT_TRUE(process_.Start({"-run", root_ / "profiles/remote.qlmd"}));
    const std::string log = root_ / "profiles/Logs/remote-log.csv";
    std::string csv;
    WaitFor([&] {
        const auto rows = CsvRows(csv = ReadFile(log));
        return !rows.empty() && rows.back().ends_with(",42.00");
    });
    EXPECT_TRUE(!CsvRows(csv).empty() && CsvRows(csv).back().ends_with(",42.00")) << csv << process_.Stderr();
    ASSERT_TRUE(process_.Signal(SIGINT));
    EXPECT_EQ(process_.Wait(), 0);
    EXPECT_EQ(process_.Stdout(), std::string(ConsoleStart) + ConsoleStop);
    EXPECT_EQ(process_.Stderr(), "");
}

} // namespace
