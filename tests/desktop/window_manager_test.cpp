// The main frame under a real window manager: Always On Top keeps the window in its place, a
// tray that starts after the program still gets its icon, and the program ended by SIGTERM
// keeps where its window was moved to.

#include "tests/desktop/desktop_test_support.h"

#include "desktop/command_ids.h"
#include "desktop/main_frame.h"
#include "engine/counter_monitor.h"

#include <QProcess>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWindow>

#include <csignal>
#include <cstdlib>

namespace quel::desktop::test {
namespace {

class WindowManagerTest : public DesktopTest {
protected:
    void TearDown() override
    {
        if (tray.state() != QProcess::NotRunning) {
            tray.terminate();
            tray.waitForFinished();
        }
        DesktopTest::TearDown();
    }

    // A property of the window as the window manager keeps it, as xprop prints it.
    QString Property(const char* name) const
    {
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"),
                    {QStringLiteral("-id"), QString::number(Frame().winId()), QString::fromLatin1(name)});
        xprop.waitForFinished();
        return QString::fromUtf8(xprop.readAllStandardOutput());
    }
    QString WindowState() const { return Property("_NET_WM_STATE"); }
    // Whether the window manager draws a title bar: the top of "_NET_FRAME_EXTENTS = l, r, t, b".
    bool Decorated() const
    {
        const QStringList extents = Property("_NET_FRAME_EXTENTS").section(QLatin1Char('='), 1).split(QLatin1Char(','));
        return extents.size() == 4 && extents[2].trimmed().toInt() > 0;
    }

    bool Above() const { return WindowState().contains(QStringLiteral("_NET_WM_STATE_ABOVE")); }

    // Lets the window manager answer what the program asked of it.
    static void Settle() { QTest::qWait(100); }

    QProcess tray;
};

TEST_F(WindowManagerTest, AlwaysOnTopKeepsTheWindowExactlyWhereItIs)
{
    Start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Frame()));
    ASSERT_TRUE(WaitUntil([&] { return Frame().frameGeometry() != Frame().geometry(); })) << "decorated";
    Settle();
    const QRect frame = Frame().frameGeometry();
    const QRect client = Frame().geometry();
    for (int i = 1; i <= 50; ++i) {
        Frame().OnCommand(CmdAlwaysOnTop);
        Settle();
        ASSERT_EQ(Frame().geometry(), client) << "after toggle " << i;
        ASSERT_EQ(Frame().frameGeometry(), frame) << "after toggle " << i;
        if (i <= 2) {
            EXPECT_TRUE(WaitUntil([&] { return Above() == (i % 2 == 1); }, 5000)) << WindowState().toStdString();
        }
    }
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_TRUE(WaitUntil([&] { return !Above(); }, 5000));
}

TEST_F(WindowManagerTest, TheCaptionGoesAndComesBackOnTheShownWindow)
{
    Start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Frame()));
    ASSERT_TRUE(WaitUntil([&] { return Decorated(); })) << "decorated";
    const QSize size = Frame().size();
    for (int i = 0; i < 3; ++i) {
        Frame().OnCommand(CmdCaption);
        EXPECT_TRUE(WaitUntil([&] { return !Decorated(); })) << "no title bar, round " << i;
        EXPECT_TRUE(Frame().isVisible());
        Frame().OnCommand(CmdCaption);
        EXPECT_TRUE(WaitUntil([&] { return Decorated(); })) << "the title bar is back, round " << i;
        EXPECT_TRUE(Frame().isVisible());
        // The rectangle the profile keeps starts at the frame's corner, above the client.
        EXPECT_TRUE(WaitUntil([&] { return Frame().GetWindowRect().top < Frame().geometry().top(); }))
            << "round " << i;
    }
    Settle();
    EXPECT_EQ(Frame().size(), size);
}

TEST_F(WindowManagerTest, ATrayStartedLaterGetsTheIconAndEnableInTrayWorks)
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        GTEST_SKIP() << "a tray runs already on this display";
    trayProbe = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    Start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Frame()));
    ASSERT_EQ(Monitor().GetSettings().EnableTray, 1);
    EXPECT_FALSE(Frame().TrayIconShown());

    tray.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                                          QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                                          QStringLiteral("--width"), QStringLiteral("120"), QStringLiteral("--height"),
                                          QStringLiteral("24")});
    ASSERT_TRUE(tray.waitForStarted());
    ASSERT_TRUE(WaitUntil([&] { return Frame().TrayIconShown(); }, 30000)) << "the tray was found";
    EXPECT_TRUE(WaitUntil([&] { return !Frame().TrayIcon()->geometry().isEmpty(); })) << "the icon docked";

    Frame().showMinimized();
    EXPECT_TRUE(WaitUntil([&] { return !Frame().isVisible(); })) << "minimised into the tray";
    Frame().OnTrayActivated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(Frame().isVisible());

    Frame().OnCommand(CmdEnableTray);
    EXPECT_FALSE(Frame().TrayIconShown());
    Frame().OnCommand(CmdEnableTray);
    EXPECT_TRUE(Frame().TrayIconShown());
    EXPECT_TRUE(WaitUntil([&] { return !Frame().TrayIcon()->geometry().isEmpty(); }));

    Frame().HideToTray();
    tray.terminate();
    ASSERT_TRUE(tray.waitForFinished());
    EXPECT_TRUE(WaitUntil([&] { return Frame().isVisible(); }, 30000)) << "back when its tray went";
}

// The window's outer position as xdotool reports it ("Position: x,y (screen: 0)").
QPoint XdotoolPosition(const QString& window)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), window});
    xdotool.waitForFinished();
    const QString text = QString::fromUtf8(xdotool.readAllStandardOutput());
    const QStringList position = text.section(QStringLiteral("Position: "), 1).section(QLatin1Char(' '), 0, 0)
                                     .split(QLatin1Char(','));
    return position.size() == 2 ? QPoint(position[0].toInt(), position[1].toInt()) : QPoint(-1, -1);
}

// The program itself, its window moved by the window manager's user, then ended by SIGTERM as
// a session that logs out ends it: it saves the new placement silently and exits normally.
TEST_F(WindowManagerTest, SigtermSavesTheMovedWindowAsClosingDoes)
{
    if (std::system("command -v xdotool >/dev/null") != 0)
        GTEST_SKIP() << "xdotool is not installed (scripts/deps.sh installs it)";
    const std::string profile = MakeProfile(root + "Moved.qlmd", [](MonitorSettings& settings) {
        settings.WndLeft = 20;
        settings.WndTop = 30;
        settings.WndRight = 520;
        settings.WndBottom = 430;
    });
    QProcess program;
    program.start(QStringLiteral(QUEL_PROGRAM), {QString::fromStdString(profile)});
    ASSERT_TRUE(program.waitForStarted());
    QProcess search;
    search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--sync"),
                                             QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                             QString::number(program.processId())});
    ASSERT_TRUE(search.waitForFinished(30000));
    const QString window = QString::fromUtf8(search.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0);
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(WaitUntil([&] { return XdotoolPosition(window).x() >= 0; }));

    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("windowmove"), window, QStringLiteral("400"), QStringLiteral("300")});
    ASSERT_TRUE(WaitUntil([&] { return XdotoolPosition(window).x() >= 300; })) << "moved";
    Settle();
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    MonitorEnvironment environment;
    environment.source = source.get();
    environment.screen = ScreenSize {1280, 1024};
    CounterMonitor saved(environment);
    ASSERT_TRUE(saved.LoadFromText(ReadFile(profile)));
    const MonitorSettings settings = saved.GetSettings();
    // Where the frame or the client lands depends on the window manager's gravity.
    EXPECT_NEAR(settings.WndLeft, 400, 40);
    EXPECT_NEAR(settings.WndTop, 300, 60);
    EXPECT_EQ(settings.WndRight - settings.WndLeft, 500) << "the size stays";
}

} // namespace
} // namespace quel::desktop::test
