// A log opened as history: written by the real log writer beside its profile, stepped through
// with the keys, drawn in place of the live diagram, and left with Esc for live sampling again;
// a file that is no log is refused while sampling goes on, and a log copied from elsewhere
// takes the profile the user picks until a profile opened leaves the history.

#include "tests/desktop/desktop_test_support.h"

#include "desktop/command_ids.h"
#include "desktop/history_bar.h"
#include "desktop/history_controller.h"
#include "desktop/main_frame.h"
#include "desktop/quellarimond_doc.h"
#include "desktop/quellarimond_view.h"
#include "engine/counter_monitor.h"
#include "log/log_reader.h"
#include "log/log_writer.h"
#include "profile/profile_file.h"
#include "tests/desktop/gated_source.h"
#include "tests/engine/fake_clock.h"
#include "tests/support/axis_samples.h"

#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include <filesystem>

namespace quel::desktop::test {
namespace {

class SetClock final : public Clock {
public:
    std::time_t now = 1709647629;  // 2024-03-05 14:07:09 UTC
    std::uint32_t TickCount() override { return 0; }
    void Sleep(std::uint32_t) override {}
    std::time_t Now() override { return now; }
};

class HistoryTest : public DesktopTest {
protected:
    // A profile of the first axisCount standard counters.
    std::string MakeSmallProfile(const std::string& path, int axisCount, std::int32_t backColor = 0)
    {
        MonitorEnvironment environment;
        environment.source = source.get();
        environment.screen = Screen;
        CounterMonitor monitor(environment);
        monitor.SetUpDefaultProfile();
        while (monitor.GetAxisCount() > axisCount)
            monitor.RemoveAxis(monitor.GetAxisCount() - 1);
        MonitorSettings settings = monitor.GetSettings();
        settings.BackColor = backColor;
        monitor.ApplySettings(settings);
        EXPECT_EQ(monitor.GetAxisCount(), axisCount);
        EXPECT_TRUE(monitor.SaveToFile(path)) << path;
        return path;
    }

    // Writes the log of profile: two sections of rows of raw values (-1: a failed read), the
    // second an hour after the first.
    std::string WriteLog(const std::string& profile, const std::vector<std::vector<double>>& first,
                         const std::vector<std::vector<double>>& second)
    {
        MonitorEnvironment environment;
        environment.source = source.get();
        CounterMonitor rose(environment);
        rose.SetUpDefaultProfile();
        rose.RemoveAllAxes();
        EXPECT_TRUE(rose.LoadProfile(profile, ProfileFile::Read(profile)));
        rose.SetLogLocation(std::string(), false);  // the writer below is the log's one writer
        MonitorSettings settings = rose.GetSettings();
        settings.LogMode = 1;
        SetClock logClock;
        LogWriter writer;
        const LogContext context {rose, settings, false, nullptr, logClock};
        writer.SetLogLocation(profile, false, context);
        for (const auto* rows : {&first, &second}) {
            writer.ResetValues(rose.GetAxisCount());
            writer.StartLogSection(context);
            for (const std::vector<double>& raw : *rows) {
                logClock.now += 2;
                writer.WriteLogRow(quel::test::SampleOf(rose, raw), context);
            }
            logClock.now += 3600;
        }
        const std::string path = writer.GetLogPath();
        writer.CloseLog();
        return path;
    }

    HistoryController& History() const { return Frame().History(); }
    HistorySlider& Slider() const { return History().Bar().Slider(); }
    double Shown(int axis, int series = SeriesCurrent) const
    {
        double value = -1;
        EXPECT_TRUE(History().Rose()->GetValue(axis, value, series));
        return value;
    }
    int ShownState(int axis) const
    {
        int state = -1;
        EXPECT_TRUE(History().Rose()->GetValueState(axis, state, SeriesCurrent));
        return state;
    }
    QColor Corner() const
    {
        const QImage image = Frame().View().grab().toImage();
        return image.pixelColor(Frame().View().contentsRect().topLeft() + QPoint(2, 2));
    }
};

TEST_F(HistoryTest, ALogBesideItsProfileIsSteppedThroughWithTheKeysAndEscSamplesAgain)
{
    Start();
    ASSERT_TRUE(WaitUntil([] { return SamplingRunning(); }));
    const QString liveTitle = Frame().windowTitle();
    const std::string profile = MakeSmallProfile(root + "Hist.qlmd", 2, 0x281E14);
    const std::string log = WriteLog(profile, {{10, 1}, {20, 2}, {-1, 3}}, {{40, 4}});
    LogData logged;
    const LogReading reading = ReadLog(log, logged);
    ASSERT_EQ(reading.status, LogReadStatus::Complete) << reading.message;
    ASSERT_EQ(logged.RowCount(), 4u);

    prompt.logName = QString::fromStdString(log);
    Frame().OnCommand(CmdFileOpenLog);
    ASSERT_TRUE(History().IsOpen()) << (prompt.messages.empty() ? QString() : prompt.messages.back()).toStdString();
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_FALSE(SamplingRunning()) << "sampling pauses while history is shown";
    EXPECT_EQ(Frame().windowTitle(), "Hist-log.html at 2024-03-05 14:07:11 - Quellarimond");
    EXPECT_EQ(Corner(), QColor(20, 30, 40)) << "the view draws the log's profile";
    EXPECT_EQ(Slider().maximum(), 3);
    EXPECT_EQ(Slider().SectionStarts(), std::vector<int> {3});

    QTest::keyClick(&Slider(), Qt::Key_Right);
    EXPECT_EQ(History().Row(), 1u);
    EXPECT_EQ(Frame().windowTitle(), "Hist-log.html at 2024-03-05 14:07:13 - Quellarimond");
    EXPECT_DOUBLE_EQ(Shown(0), logged.Value(1, 0));
    EXPECT_DOUBLE_EQ(Shown(1), logged.Value(1, 1));
    EXPECT_DOUBLE_EQ(Shown(0, SeriesAverage), (logged.Value(0, 0) + logged.Value(1, 0)) / 2);

    QTest::keyClick(&Slider(), Qt::Key_Right);
    EXPECT_EQ(ShownState(0), NoData) << "a failed read is N/A";
    EXPECT_NE(ShownState(1), NoData);

    QTest::keyClick(&Slider(), Qt::Key_End);
    EXPECT_EQ(History().Row(), 3u);
    EXPECT_EQ(Frame().windowTitle(), "Hist-log.html at 2024-03-05 15:07:17 - Quellarimond") << "the second section";
    EXPECT_DOUBLE_EQ(Shown(0, SeriesMax), logged.Value(3, 0));
    QTest::keyClick(&Slider(), Qt::Key_Home);
    EXPECT_EQ(History().Row(), 0u);

    QTest::keyClick(&Slider(), Qt::Key_Escape);
    EXPECT_FALSE(History().IsOpen());
    EXPECT_TRUE(Frame().findChild<QToolBar*>(QStringLiteral("HistoryBar"))->isHidden());
    EXPECT_EQ(Frame().windowTitle(), liveTitle);
    EXPECT_TRUE(WaitUntil([] { return SamplingRunning(); })) << "back to live sampling";
    EXPECT_NE(Corner(), QColor(20, 30, 40));
}

TEST_F(HistoryTest, AFileThatIsNoLogIsRefusedWhileSamplingGoesOnAndACopiedLogTakesTheProfilePicked)
{
    Start();
    ASSERT_TRUE(WaitUntil([] { return SamplingRunning(); }));
    const QString liveTitle = Frame().windowTitle();
    static constexpr char Binary[] = "\x7f" "ELF\x02\x01\x01\0\0\0\xff\xfe";
    WriteFile(root + "binary.html", std::string(Binary, sizeof Binary - 1));
    prompt.logName = QString::fromStdString(root + "binary.html");
    Frame().OnCommand(CmdFileOpenLog);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_TRUE(prompt.messages[0].startsWith(QStringLiteral("Cannot open the log "))) << prompt.messages[0].toStdString();
    EXPECT_FALSE(History().IsOpen());
    EXPECT_TRUE(SamplingRunning());
    EXPECT_EQ(Frame().windowTitle(), liveTitle);

    // The log of a profile of three axes, copied away from it; the user picks a profile of two.
    MakeSmallProfile(root + "Two.qlmd", 2);
    const std::string log = WriteLog(MakeSmallProfile(root + "Three.qlmd", 3), {{10, 1, 7}, {20, 2, 9}}, {});
    std::filesystem::create_directories(root + "copied/Logs");
    std::filesystem::copy_file(log, root + "copied/Logs/Three-log.html");
    prompt.openName = QString::fromStdString(root + "Two.qlmd");
    prompt.logName = QString::fromStdString(root + "copied/Logs/Three-log.html");
    Frame().OnCommand(CmdFileOpenLog);
    ASSERT_TRUE(History().IsOpen());
    EXPECT_EQ(History().Rose()->GetAxisCount(), 3) << "the third column on an axis of its own";
    EXPECT_TRUE(Frame().statusBar()->currentMessage().contains(QStringLiteral("no axis in the profile")))
        << Frame().statusBar()->currentMessage().toStdString();
    EXPECT_FALSE(SamplingRunning());

    // Opening a profile leaves the history for that profile's live diagram.
    ASSERT_TRUE(app->OpenDocumentFile(QString::fromStdString(root + "Two.qlmd")));
    EXPECT_FALSE(History().IsOpen());
    EXPECT_EQ(Frame().windowTitle(), "Two.qlmd - Quellarimond");
    EXPECT_TRUE(WaitUntil([] { return SamplingRunning(); }));
}

// A sampling thread held in its query as by a slow network: the log is not shown, and the
// profile's diagram stays.
TEST_F(HistoryTest, SamplingThatCannotStopKeepsTheLiveDiagram)
{
    quel::test::FakeClock fakeClock;
    clock = &fakeClock;
    UseGatedSource();
    const std::string profile = MakeSmallProfile(root + "Slow.qlmd", 2);
    prompt.logName = QString::fromStdString(WriteLog(profile, {{10, 1}}, {}));  // before the program writes it
    Start({QString::fromStdString(profile)});
    const QString liveTitle = Frame().windowTitle();
    Frame().OnCommand(CmdFileOpenLog);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_TRUE(prompt.messages[0].startsWith(QStringLiteral("Cannot stop counter collecting process.")));
    EXPECT_FALSE(History().IsOpen());
    EXPECT_EQ(Frame().windowTitle(), liveTitle);
}

} // namespace
} // namespace quel::desktop::test
