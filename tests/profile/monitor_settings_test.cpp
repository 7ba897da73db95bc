// The profile's own lines: settings defaults, the window check, the keys in file order and the
// reading of one key.

#include "profile/monitor_settings.h"

#include <gtest/gtest.h>

namespace quel {
namespace {

TEST(MonitorSettingsTest, DefaultsOfANewMonitor)
{
    const MonitorSettings settings = DefaultMonitorSettings(ScreenSize {1024, 768});
    const MonitorSettings expected {2, 30, 1, 0, 1, 1, 1, 0, 0, 1, 0, 0,
                                    0x00FFFF, 0x00CC00, 0xFFFF7F, 0x000000, 0xFFFFFF, 0x808080, 0x0000FF,
                                    12, 9, 420, 315, 2, 0, 64};
    EXPECT_EQ(settings, expected);
    EXPECT_EQ(DefaultWindowRect(ScreenSize {1366, 767}), (Rect {12, 9, 558, 315}));
}

TEST(MonitorSettingsTest, WindowRectangleMustBeWellFormedAndOnTheScreen)
{
    const ScreenSize screen {800, 600};
    MonitorSettings settings = DefaultMonitorSettings(screen);
    EXPECT_TRUE(WindowRectFits(settings, screen));

    const auto fits = [&](int left, int top, int right, int bottom) {
        settings.WndLeft = left;
        settings.WndTop = top;
        settings.WndRight = right;
        settings.WndBottom = bottom;
        return WindowRectFits(settings, screen);
    };
    EXPECT_TRUE(fits(0, 0, 800, 600));
    EXPECT_FALSE(fits(100, 0, 100, 600));   // no width
    EXPECT_FALSE(fits(0, 300, 800, 200));   // upside down
    EXPECT_FALSE(fits(0, 0, 801, 600));     // past the right edge
    EXPECT_FALSE(fits(0, 0, 800, 601));     // past the bottom
    EXPECT_FALSE(fits(-1, 0, 400, 300));
    EXPECT_FALSE(fits(0, -1, 400, 300));
}

TEST(MonitorSettingsTest, ProfileLinesInFileOrderWithCrLf)
{
    ConfigWriter file;
    WriteProfileHeader(file);
    WriteSettingsKeys(file, DefaultMonitorSettings(ScreenSize {1024, 768}));
    WriteCounterLine(file, "\\Processor(0)\\% Processor Time");
    EXPECT_EQ(file.Text(),
              "\r\n# QUELLARIMOND CONFIGURATION FILE. DO NOT MODIFY!\r\n\r\n"
              "History=30\r\nInterval=2\r\nAlwaysOntop=0\r\nEnableTray=1\r\nCaption=1\r\n"
              "ShowCurrent=1\r\nShowAverage=1\r\nShowMax=0\r\n"
              "CurColor=65535\r\nAvgColor=52224\r\nMaxColor=16777087\r\nBackColor=0\r\n"
              "TextColor=16777215\r\nLineColor=8421504\r\nCritColor=255\r\n"
              "BoldCur=0\r\nBoldAvg=1\r\nBoldMax=0\r\nBoldCrit=0\r\n"
              "WndLeft=12\r\nWndRight=420\r\nWndTop=9\r\nWndBottom=315\r\n"
              "LogMode=2\r\nLogFormat=0\r\nLogFileSize=64\r\n"
              "Counter=\\Processor(0)\\% Processor Time\r\n");
}

TEST(MonitorSettingsTest, EveryWrittenKeyReadsBack)
{
    // Distinct values, some negative, Interval and History within their ranges.
    const MonitorSettings written {7, 99, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 0x123456, 0x654321, 13, 14, 15, 16, 17,
                                   -18, -19, 2000, 1500, 3, 1, 10240};
    ConfigWriter file;
    WriteSettingsKeys(file, written);

    MonitorSettings read = DefaultMonitorSettings(ScreenSize {});
    std::string_view text = file.Text();
    int lines = 0;
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        const std::string_view line = text.substr(0, end);
        const std::size_t equals = line.find('=');
        EXPECT_EQ(ReadSettingsKey(read, std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))),
                  SettingsKeyResult::Taken)
            << line;
        text.remove_prefix(end + 2);
        ++lines;
    }
    EXPECT_EQ(lines, 26);
    EXPECT_EQ(read, written);
}

TEST(MonitorSettingsTest, IntervalAndHistoryOutsideTheirRangesKeepThePreviousValue)
{
    MonitorSettings settings = DefaultMonitorSettings(ScreenSize {});
    EXPECT_EQ(ReadSettingsKey(settings, "Interval", "0"), SettingsKeyResult::OutOfRange);
    EXPECT_EQ(ReadSettingsKey(settings, "Interval", ""), SettingsKeyResult::OutOfRange);
    EXPECT_EQ(ReadSettingsKey(settings, "Interval", "121"), SettingsKeyResult::OutOfRange);
    EXPECT_EQ(ReadSettingsKey(settings, "History", "1"), SettingsKeyResult::OutOfRange);
    EXPECT_EQ(ReadSettingsKey(settings, "History", "121"), SettingsKeyResult::OutOfRange);
    EXPECT_EQ(settings.Interval, 2);
    EXPECT_EQ(settings.History, 30);

    EXPECT_EQ(ReadSettingsKey(settings, "Interval", "120"), SettingsKeyResult::Taken);
    EXPECT_EQ(ReadSettingsKey(settings, "History", "2"), SettingsKeyResult::Taken);
    EXPECT_EQ(settings.Interval, 120);
    EXPECT_EQ(settings.History, 2);
}

TEST(MonitorSettingsTest, LogFileSizeOutside1To10240LeavesThePreviousValue)
{
    // A size of 0 or below would rotate the log at every row and lose all but the last two.
    MonitorSettings settings = DefaultMonitorSettings(ScreenSize {});
    for (const char* value : {"0", "-1", "", "10241", "99999999999"}) {
        EXPECT_EQ(ReadSettingsKey(settings, "LogFileSize", value), SettingsKeyResult::OutOfRange) << value;
        EXPECT_EQ(settings.LogFileSize, 64) << value;
    }
    EXPECT_EQ(ReadSettingsKey(settings, "LogFileSize", "1"), SettingsKeyResult::Taken);
    EXPECT_EQ(settings.LogFileSize, 1);
    EXPECT_EQ(ReadSettingsKey(settings, "LogFileSize", "10240"), SettingsKeyResult::Taken);
    EXPECT_EQ(settings.LogFileSize, 10240);
    ASSERT_NE(FindSettingsKey("LogFileSize"), nullptr);
    EXPECT_EQ(FindSettingsKey("LogFileSize")->low, MinLogFileSize);
    EXPECT_EQ(FindSettingsKey("LogFileSize "), nullptr);
}

TEST(MonitorSettingsTest, ValuesReadAsCIntegers)
{
    MonitorSettings settings = DefaultMonitorSettings(ScreenSize {});
    EXPECT_EQ(ReadSettingsKey(settings, "History", "12abc"), SettingsKeyResult::Taken);
    EXPECT_EQ(settings.History, 12);
    settings.BoldCur = 1;
    EXPECT_EQ(ReadSettingsKey(settings, "BoldCur", ""), SettingsKeyResult::Taken);
    EXPECT_EQ(settings.BoldCur, 0);
    EXPECT_EQ(ReadSettingsKey(settings, "WndLeft", "  -40"), SettingsKeyResult::Taken);
    EXPECT_EQ(settings.WndLeft, -40);
    EXPECT_EQ(ReadSettingsKey(settings, "LogFileSize", "+128KB"), SettingsKeyResult::Taken);
    EXPECT_EQ(settings.LogFileSize, 128);
    EXPECT_EQ(ReadSettingsKey(settings, "CurColor", "yellow"), SettingsKeyResult::Taken);
    EXPECT_EQ(settings.CurColor, 0);
}

TEST(MonitorSettingsTest, OnlyExactKeysAreSettings)
{
    MonitorSettings settings = DefaultMonitorSettings(ScreenSize {});
    const MonitorSettings before = settings;
    EXPECT_EQ(ReadSettingsKey(settings, "Interval ", "5"), SettingsKeyResult::Unknown);
    EXPECT_EQ(ReadSettingsKey(settings, "interval", "5"), SettingsKeyResult::Unknown);
    EXPECT_EQ(ReadSettingsKey(settings, "GridStep", "5"), SettingsKeyResult::Unknown);
    EXPECT_EQ(ReadSettingsKey(settings, "", ""), SettingsKeyResult::Unknown);
    EXPECT_EQ(settings, before);
}

} // namespace
} // namespace quel
