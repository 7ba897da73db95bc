// quelmonctl report and render --log on a log written by the real writer: statistics, shares
// and episodes against values worked out by hand, and the wind rose of a moment measured in
// the SVG's polylines.

#include "log/log_writer.h"
#include "tests/cli/cli_process.h"
#include "tests/support/axis_samples.h"
#include "tests/log/log_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

namespace quel::test {
namespace {

constexpr std::time_t Start = 1709647629;  // Tuesday, March 05, 2024 at 14:07:09 UTC
constexpr double NA = -1.0;

// CriticalBorder 0: an axis's radius is proportional to value / maximum.
const char* const ProfileText =
    "\r\n# QUELLARIMOND CONFIGURATION FILE. DO NOT MODIFY!\r\n\r\n"
    "Interval=1\r\nShowMax=1\r\nShowAverage=1\r\nShowCurrent=1\r\nCriticalBorder=0\r\n\r\n"
    "BeginAxis\r\nName=CPU\r\nMaxValue=100\r\nCriticalValue=80\r\nCounter=\\Objects\\Processes\r\nEndAxis\r\n"
    "BeginAxis\r\nName=Disk, MiB\r\nMaxValue=50\r\nCriticalValue=40\r\nCounter=\\Objects\\Processes\r\nEndAxis\r\n"
    "BeginAxis\r\nName=Unused\r\nMaxValue=10\r\nCriticalValue=5\r\nCounter=\\Objects\\Processes\r\nEndAxis\r\n";

// Rows every 2 s from Start + 2: CPU, "Disk, MiB" and a column the profile has no axis for.
const std::vector<std::vector<double>> Rows = {
    {10, 1, 3}, {90, 41, 7}, {95, 2, 1}, {NA, 3, 2}, {85, NA, 8}, {20, 45, 4}, {80, 40, 2},
};

class LogCommandsTest : public ::testing::Test {
protected:
    LogCommandsTest()
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }

    // The log of Rows in folder/Logs, written by the writer for the profile folder/Watch.qlmd.
    std::string WriteLog(int format, bool withProfile)
    {
        WindRose rose {32, 4};
        rose.AddAxis("CPU", "", 0, 0.0, 100.0, 80.0, 1.0, nullptr);
        rose.AddAxis("Disk, MiB", "", 0, 0.0, 50.0, 40.0, 1.0, nullptr);
        rose.AddAxis("Queue", "", 0, 0.0, 10.0, 5.0, 1.0, nullptr);
        MonitorSettings settings = DefaultMonitorSettings(ScreenSize {});
        settings.LogMode = 1;
        settings.LogFormat = format;
        FixedClock clock;
        clock.now = Start;
        RecordingSink sink;
        const LogContext context {rose, settings, false, &sink, clock, nullptr};
        LogWriter writer;
        const std::string profile = (folder.Path() / "Watch.qlmd").string();
        writer.SetLogLocation(profile, false, context);
        writer.ResetValues(3);
        writer.StartLogSection(context);
        for (const auto& row : Rows) {
            clock.now += 2;
            writer.WriteLogRow(SampleOf(rose, row), context);
        }
        if (withProfile)
            folder.Write("Watch.qlmd", ProfileText);
        return writer.GetLogPath();
    }

    TempFolder folder;
};

TEST_F(LogCommandsTest, ReportGivesStatisticsSharesAndTheLongestCriticalEpisode)
{
    const std::string log = WriteLog(1, true);
    const CliResult all = RunCli({"report", log, "--csv"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    // CPU: 6 samples, 4 at or above 80 (80 itself counts); the longest run, 90 and 95, lasts
    // from 14:07:13 until the N/A row at 14:07:17. The CSV head writes "Disk, MiB" without
    // its comma, and still finds its axis. Queue has no axis: no critical value.
    EXPECT_EQ(all.out,
              "axis,samples,minimum,mean,maximum,critical,at_or_above_percent,longest_critical_start,"
              "longest_critical_seconds,longest_critical_rows\n"
              "CPU,6,10.00,63.33,95.00,80.00,66.7,2024-03-05 14:07:13,4,2\n"
              "Disk MiB,6,1.00,22.00,45.00,40.00,50.0,2024-03-05 14:07:21,2,2\n"
              "Queue,7,1.00,3.86,8.00,,,,,\n");
    EXPECT_EQ(all.err, "quelmonctl report: note: the profile has no axis \"Queue\": no critical value\n");

    // 14:07:15 .. 14:07:21: CPU 95, N/A, 85, 20; two runs of 2 s, the first one reported.
    const CliResult part = RunCli({"report", log, "--from", "2024-03-05 14:07:15", "--to", "2024-03-05 14:07:21"});
    ASSERT_EQ(part.exitCode, 0) << part.err;
    EXPECT_NE(part.out.find("Span: 2024-03-05 14:07:15 to 2024-03-05 14:07:21, 4 rows\n"), std::string::npos) << part.out;
    EXPECT_NE(part.out.find("  started 2024-03-05 14:07:09, 4 rows\n"), std::string::npos) << part.out;
    EXPECT_TRUE(std::regex_search(part.out, std::regex("\nCPU +3 +20.00 +66.67 +95.00 +80.00 +66.7% +"
                                                       "2024-03-05 14:07:15 for 2 s \\(1 row\\)\n")))
        << part.out;

    const CliResult outside = RunCli({"report", log, "--from", "2024-03-06 00:00:00"});
    EXPECT_EQ(outside.exitCode, 2);
    EXPECT_EQ(outside.err, "quelmonctl report: the time asked lies outside the log, which spans 2024-03-05 14:07:11 "
                           "to 2024-03-05 14:07:23\n");
}

TEST_F(LogCommandsTest, ReportWithoutAProfileOrOnADamagedLogSaysSo)
{
    const std::string log = WriteLog(0, false);
    const CliResult bare = RunCli({"report", log});
    ASSERT_EQ(bare.exitCode, 0) << bare.err;
    EXPECT_NE(bare.out.find("Note: no profile " + (folder.Path() / "Watch.qlmd").string() + " beside the log"),
              std::string::npos) << bare.out;
    EXPECT_TRUE(std::regex_search(bare.out, std::regex("\nCPU +6 +10.00 +63.33 +95.00\n"))) << bare.out;

    std::string text = ReadFile(log);
    WriteFile(log, text.substr(0, text.size() - 100));  // into the last row
    const CliResult cut = RunCli({"report", log});
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_NE(cut.out.find("6 rows"), std::string::npos) << cut.out;
    EXPECT_NE(cut.err.find("read up to the damage: line "), std::string::npos) << cut.err;
    const CliResult foreign = RunCli({"report", folder.Write("notes.html", "<!DOCTYPE html>\n").string()});
    EXPECT_EQ(foreign.exitCode, 2);
}

struct Point {
    double x, y;
};

// The SVG's polylines, each a list of points.
std::vector<std::vector<Point>> Polylines(const std::string& svg)
{
    std::vector<std::vector<Point>> lines;
    const std::regex polyline("<polyline[^>]* points=\"([^\"]*)\"");
    const std::regex point("([-0-9.]+),([-0-9.]+)");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), polyline); it != std::sregex_iterator(); ++it) {
        const std::string points = (*it)[1];
        lines.emplace_back();
        for (auto p = std::sregex_iterator(points.begin(), points.end(), point); p != std::sregex_iterator(); ++p)
            lines.back().push_back({std::stod((*p)[1]), std::stod((*p)[2])});
    }
    return lines;
}

TEST_F(LogCommandsTest, RenderLogPaintsTheMomentsCurrentAverageAndMaximalLines)
{
    const std::string log = WriteLog(0, true);
    const std::string image = (folder.Path() / "rose.svg").string();
    // 14:07:20 lies between the rows of 14:07:19 (CPU 85, Disk N/A, Queue 8) and 14:07:21.
    const CliResult result = RunCli({"render", "--log", log, "--at", "2024-03-05 14:07:20", "-o", image, "--size", "400x400"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "quelmonctl render: note: column \"Queue\" has no axis in the profile: drawn from 0.00 to "
                          "8.00, its values' bounds\n");

    // Four axes (CPU, Disk, Unused, Queue): four spokes from the centre, then the max, average
    // and current lines, closed.
    const auto lines = Polylines(ReadFile(image));
    ASSERT_EQ(lines.size(), 7u);
    const Point centre = lines[0][0];
    const double radius = std::hypot(lines[0][1].x - centre.x, lines[0][1].y - centre.y);
    ASSERT_GT(radius, 50.0);
    const auto share = [&](int line, int axis) {
        const Point p = lines[static_cast<std::size_t>(line)][static_cast<std::size_t>(axis)];
        return std::hypot(p.x - centre.x, p.y - centre.y) / radius;
    };
    const double pixel = 1.5 / radius;
    // Rows up to the moment: CPU 10, 90, 95, N/A, 85; Disk 1, 41, 2, 3, N/A; Queue 3, 7, 1, 2, 8.
    EXPECT_NEAR(share(4, 0), 95.0 / 100.0, pixel);                   // maximal
    EXPECT_NEAR(share(5, 0), (10 + 90 + 95 + 85) / 4.0 / 100.0, pixel);  // average
    EXPECT_NEAR(share(6, 0), 85.0 / 100.0, pixel);                   // current
    EXPECT_NEAR(share(4, 1), 41.0 / 50.0, pixel);
    EXPECT_NEAR(share(5, 1), (1 + 41 + 2 + 3) / 4.0 / 50.0, pixel);
    EXPECT_NEAR(share(6, 1), 0.0, pixel);  // N/A
    EXPECT_NEAR(share(6, 2), 0.0, pixel);  // no column: N/A
    EXPECT_NEAR(share(4, 3), 8.0 / 8.0, pixel);
    EXPECT_NEAR(share(5, 3), (3 + 7 + 1 + 2 + 8) / 5.0 / 8.0, pixel);

    const CliResult before = RunCli({"render", "--log", log, "--at", "2024-03-05 14:07:10", "-o", image});
    EXPECT_EQ(before.exitCode, 2);
    EXPECT_NE(before.err.find("which spans 2024-03-05 14:07:11 to 2024-03-05 14:07:23"), std::string::npos) << before.err;
}

} // namespace
} // namespace quel::test
