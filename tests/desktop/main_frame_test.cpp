// The main frame: menus, check marks and toggles, caption and menu bar, dragging, the context
// menu, the status bar and the tray.

#include "tests/desktop/desktop_test_support.h"

#include "desktop/command_ids.h"
#include "desktop/command_table.h"
#include "desktop/main_frame.h"
#include "desktop/menus.h"
#include "desktop/quellarimond_doc.h"
#include "desktop/quellarimond_view.h"
#include "engine/counter_monitor.h"
#include "log/log_owner_lock.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>

namespace quel::desktop::test {
namespace {

using MainFrameTest = DesktopTest;

// "text" per item shown (with its key after a tab), "-" per separator, "text>" for a submenu.
QStringList Layout(const QWidget& menu)
{
    QStringList items;
    for (const QAction* action : menu.actions()) {
        if (!action->isVisible())
            continue;
        if (action->isSeparator())
            items << QStringLiteral("-");
        else if (action->menu())
            items << action->text() + QStringLiteral(">");
        else if (action->shortcut().isEmpty())
            items << action->text();
        else
            items << action->text() + QLatin1Char('\t') + action->shortcut().toString();
    }
    return items;
}

QMenu* Submenu(const QWidget& menu, const QString& title)
{
    for (QAction* action : menu.actions()) {
        if (action->menu() && action->text() == title)
            return action->menu();
    }
    return nullptr;
}

bool Checked(const QWidget& menu, int id)
{
    const QAction* action = FindCommandAction(menu, id);
    return action != nullptr && action->isChecked();
}

TEST_F(MainFrameTest, MenusHaveTheirItemsInOrder)
{
    Start();
    const QMenuBar& bar = *Frame().menuBar();
    EXPECT_EQ(Layout(bar), (QStringList {"&File>", "&Options>", "&Help>"}));
    EXPECT_EQ(Layout(*Submenu(bar, "&File")),
              (QStringList {"&New...\tCtrl+N", "&Open...\tCtrl+O", "Open Lo&g...", "&Save\tCtrl+S", "Save &As...", "-",
                            "&View Log...", "&Clean Log", "&Log Settings...", "-", "Reset &Max", "&Restart", "-",
                            "Recent File", "-", "E&xit"}));
    const QMenu& options = *Submenu(bar, "&Options");
    EXPECT_EQ(Layout(options),
              (QStringList {"&Window Caption", "Enable In Tray", "Always On &Top", "Stat&us Bar",
                            "Notify When C&ritical", "-", "Display &Labels>", "&Current Line>", "&Average Line>",
                            "&Maximal Line>", "&Diagram>", "-", "Co&nnect to...", "-", "C&ounters...",
                            "&Preferences...", "&System..."}));
    EXPECT_EQ(Layout(*Submenu(options, "Display &Labels")), (QStringList {"&Names", "&Values", "Num&bers"}));
    EXPECT_EQ(Layout(*Submenu(options, "&Maximal Line")), (QStringList {"&Show", "&Bold", "&Color..."}));
    EXPECT_EQ(Layout(*Submenu(options, "&Diagram")),
              (QStringList {"&Background...", "&Text Color...", "&Lines Color...", "&Critical Color...",
                            "B&old Critical Line"}));
    EXPECT_EQ(Layout(*Submenu(bar, "&Help")), (QStringList {"&Contents", "&About..."}));

    EXPECT_EQ(Layout(*Frame().ContextMenu()),
              (QStringList {"&Window Caption", "Enable In Tray", "Always On &Top", "Notify When C&ritical", "-",
                            "Display &Labels>", "Current Line>", "Average Line>", "Maximal Line>", "Diagram>", "-", "C&ounters...",
                            "Co&nnect to...", "&Preferences...", "-", "&View Log...", "&Clean Log",
                            "&Log Settings...", "-", "Reset &Max", "&Restart", "Minimize", "E&xit"}));
    EXPECT_EQ(Layout(*Submenu(*Frame().ContextMenu(), "Current Line")), (QStringList {"&Show", "&Bold", "&Color..."}));
    // One action per command: the main menu, the context menu and the key share it.
    EXPECT_EQ(FindCommandAction(*Frame().ContextMenu(), CmdCounters), FindCommandAction(bar, CmdCounters));
    EXPECT_EQ(FindCommandAction(*Frame().ContextMenu(), CmdAppExit),
              FindCommandAction(*Frame().TrayMenu(), CmdAppExit));
    EXPECT_TRUE(Frame().actions().contains(FindCommandAction(bar, CmdFileNew)));
}

TEST_F(MainFrameTest, PromptsAndEveryCommandWithItsDialog)
{
    Start();
    const QMenuBar& bar = *Frame().menuBar();
    EXPECT_EQ(FindCommandAction(bar, CmdFileNew)->statusTip(), QStringLiteral("Create a new document"));
    EXPECT_EQ(FindCommandAction(bar, CmdRestart)->statusTip(), QStringLiteral("Bounce counters"));
    EXPECT_EQ(FindCommandAction(bar, CmdPreferences)->statusTip(),
              QStringLiteral("Specify diagram charcteristics like grid step, etc."));
    EXPECT_EQ(FindCommandAction(*Frame().ContextMenu(), CmdMinimize)->statusTip(), QString());
    for (int id : {CmdCounters, CmdPreferences, CmdLogSettings, CmdConnectTo, CmdViewLog, CmdSystem}) {
        EXPECT_TRUE(FindCommandAction(bar, id)->isEnabled()) << id;
        EXPECT_TRUE(IsCommandAvailable(id));
    }
}

TEST_F(MainFrameTest, TheDialogCommandsOpenTheirDialogs)
{
    Start();
    dialogs.shown.clear();
    for (int id : {CmdCounters, CmdPreferences, CmdLogSettings, CmdConnectTo})
        FindCommandAction(*Frame().ContextMenu(), id)->trigger();
    EXPECT_EQ(dialogs.shown,
              (std::vector<QString> {QStringLiteral("quel::desktop::CCountersDlg"),
                                     QStringLiteral("quel::desktop::CPreferencesDlg"),
                                     QStringLiteral("quel::desktop::CLogSettingsDlg"),
                                     QStringLiteral("quel::desktop::CRemoteHostDlg")}));
}

QMenu* FileMenu(const CMainFrame& frame)
{
    return Submenu(*frame.menuBar(), QStringLiteral("&File"));
}

// The items of the File menu between the separators before Exit.
QStringList RecentFileItems(const CMainFrame& frame)
{
    QStringList items = Layout(*FileMenu(frame));
    items = items.mid(items.lastIndexOf(QStringLiteral("-"), items.size() - 3) + 1);
    items.removeLast();  // Exit
    items.removeLast();  // its separator
    return items;
}

TEST_F(MainFrameTest, RecentFilesAreNumberedItemsOfTheFileMenu)
{
    Start();
    ASSERT_TRUE(app->RecentFiles().Entries().isEmpty());
    emit FileMenu(Frame())->aboutToShow();
    EXPECT_EQ(RecentFileItems(Frame()), (QStringList {"Recent File"}));
    const QAction* placeholder = FindCommandAction(*Frame().menuBar(), CmdRecentFile);
    EXPECT_FALSE(placeholder->isEnabled());
    EXPECT_EQ(placeholder->statusTip(), QString());

    const QString first = QString::fromStdString(MakeProfile(root + "First.qlmd"));
    const QString ampersand = QString::fromStdString(MakeProfile(root + "R&D.qlmd"));
    ASSERT_TRUE(app->OpenDocumentFile(first));
    ASSERT_TRUE(app->OpenDocumentFile(ampersand));
    emit FileMenu(Frame())->aboutToShow();  // the list changed outside a menu command
    EXPECT_EQ(RecentFileItems(Frame()), (QStringList {"&1 R&&D.qlmd", "&2 First.qlmd"}));
    QAction* second = FindCommandAction(*Frame().menuBar(), CmdRecentFile + 1);
    EXPECT_TRUE(second->isEnabled());
    EXPECT_EQ(second->statusTip(), first);
    EXPECT_EQ(FindCommandAction(*Frame().menuBar(), CmdRecentFile)->statusTip(), ampersand);

    second->trigger();
    EXPECT_EQ(Doc().GetPathName(), first);
    EXPECT_EQ(RecentFileItems(Frame()), (QStringList {"&1 First.qlmd", "&2 R&&D.qlmd"}));
}

TEST_F(MainFrameTest, StatusBarIsHiddenAtStartAndSaysReady)
{
    Start();
    EXPECT_TRUE(Frame().statusBar()->isHidden());
    EXPECT_FALSE(Checked(*Frame().menuBar(), CmdStatusBar));
    EXPECT_EQ(Frame().ReadyLabel()->text(), QStringLiteral("Ready"));
    Frame().OnCommand(CmdStatusBar);
    EXPECT_FALSE(Frame().statusBar()->isHidden());
    EXPECT_TRUE(Checked(*Frame().menuBar(), CmdStatusBar));
}

// A profile whose log another program writes is shown without logging, and the status bar
// says so; a profile this program can log brings "Ready" back.
TEST_F(MainFrameTest, TheStatusBarSaysWhenAnotherProgramWritesTheLog)
{
    const auto logged = [](MonitorSettings& settings) { settings.LogMode = 1; };
    const std::string taken = MakeProfile(root + "Taken.qlmd", logged);
    const std::string free = MakeProfile(root + "Free.qlmd", logged);
    QDir().mkpath(QString::fromStdString(root + "Logs"));
    LogOwnerLock other;
    ASSERT_EQ(other.Take(LogLockPath(root + "Logs/", "Taken")), LogOwnerLock::Result::Owned);

    Start({QString::fromStdString(taken)});
    EXPECT_TRUE(Monitor().IsLogWrittenElsewhere());
    ASSERT_TRUE(WaitUntil([&] { return Frame().ReadyLabel()->text().startsWith(QStringLiteral("Not logging")); }))
        << Frame().ReadyLabel()->text().toStdString();
    EXPECT_FALSE(Frame().statusBar()->isHidden());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Monitor().GetLogPath())));

    ASSERT_TRUE(app->OpenDocumentFile(QString::fromStdString(free)));
    EXPECT_TRUE(WaitUntil([&] { return Frame().ReadyLabel()->text() == QStringLiteral("Ready"); }));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(Monitor().GetLogPath())));
}

TEST_F(MainFrameTest, SettingTogglesInvertTheSettingAndItsCheckMark)
{
    Start();
    Monitor().SetModified(0);
    const QMenuBar& bar = *Frame().menuBar();
    struct Toggle {
        int id;
        std::int32_t MonitorSettings::*field;
    };
    const Toggle toggles[] = {
        {CmdShowCurrent, &MonitorSettings::ShowCurrent}, {CmdShowAverage, &MonitorSettings::ShowAverage},
        {CmdShowMax, &MonitorSettings::ShowMax},         {CmdBoldCurrent, &MonitorSettings::BoldCur},
        {CmdBoldAverage, &MonitorSettings::BoldAvg},     {CmdBoldMax, &MonitorSettings::BoldMax},
        {CmdBoldCritical, &MonitorSettings::BoldCrit},   {CmdAlwaysOnTop, &MonitorSettings::AlwaysOntop},
        {CmdEnableTray, &MonitorSettings::EnableTray},
    };
    for (const Toggle& toggle : toggles) {
        const int before = Monitor().GetSettings().*toggle.field;
        EXPECT_EQ(Checked(bar, toggle.id), before != 0) << toggle.id;
        Frame().OnCommand(toggle.id);
        EXPECT_EQ(Monitor().GetSettings().*toggle.field, before ? 0 : 1) << toggle.id;
        EXPECT_EQ(Checked(bar, toggle.id), before == 0) << toggle.id;
    }
    EXPECT_TRUE(Frame().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(Frame().MinimizeToTray());
    EXPECT_FALSE(Monitor().IsModified()) << "display switches are saved silently";
}

TEST_F(MainFrameTest, LabelTogglesKeepTheModifiedFlag)
{
    Start();
    const QMenuBar& bar = *Frame().menuBar();
    for (const int modified : {0, 1}) {
        Monitor().SetModified(modified);
        const int names = Monitor().GetShowNames();
        Frame().OnCommand(CmdShowNames);
        EXPECT_EQ(Monitor().GetShowNames(), names ? 0 : 1);
        EXPECT_EQ(Checked(bar, CmdShowNames), names == 0);
        Frame().OnCommand(CmdShowValues);
        Frame().OnCommand(CmdShowNumbers);
        EXPECT_EQ(Checked(bar, CmdShowNumbers), Monitor().GetShowNumbers() != 0);
        EXPECT_EQ(Monitor().IsModified(), modified);
    }
}

TEST_F(MainFrameTest, CaptionAndMenuBarGoAndComeBackTogether)
{
    Start();
    ASSERT_TRUE(Frame().MenuShown());
    EXPECT_TRUE(Checked(*Frame().menuBar(), CmdCaption));
    const QRect place = Frame().geometry();

    Frame().OnCommand(CmdCaption);
    EXPECT_EQ(Monitor().GetSettings().Caption, 0);
    EXPECT_FALSE(Frame().MenuShown());
    EXPECT_TRUE(Frame().menuBar()->isHidden());
    EXPECT_TRUE(Frame().windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_EQ(Frame().geometry(), place);

    // A double click on the diagram brings both back, with the check mark.
    const QPoint centre = Frame().View().geometry().center();
    QTest::mouseDClick(Frame().windowHandle(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(Monitor().GetSettings().Caption, 1);
    EXPECT_TRUE(Frame().MenuShown());
    EXPECT_FALSE(Frame().windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(Checked(*Frame().menuBar(), CmdCaption));
}

TEST_F(MainFrameTest, AProfileWithoutCaptionOpensWithoutCaptionAndMenuBar)
{
    const std::string path = MakeProfile(root + "Bare.qlmd", [](MonitorSettings& s) { s.Caption = 0; });
    Start({QString::fromStdString(path)});
    EXPECT_FALSE(Frame().MenuShown());
    EXPECT_TRUE(Frame().windowFlags().testFlag(Qt::FramelessWindowHint));
    // Shortcuts belong to the frame, so they work without the menu bar.
    Monitor().SetModified(1);
    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    QTest::keyClick(&Frame(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(Monitor().IsModified());
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(MainFrameTest, RightClickOpensTheContextMenuWithCheckMarks)
{
    Start();
    Frame().OnCommand(CmdShowMax);  // on
    const QPoint centre = Frame().View().geometry().center();
    QTest::mousePress(Frame().windowHandle(), Qt::RightButton, {}, centre);
    QMenu& menu = *Frame().ContextMenu();
    EXPECT_TRUE(WaitUntil([&] { return menu.isVisible(); }));
    EXPECT_TRUE(Checked(menu, CmdShowMax));
    EXPECT_TRUE(Checked(menu, CmdCaption));
    EXPECT_FALSE(Checked(menu, CmdAlwaysOnTop));
    menu.hide();
    QTest::mouseRelease(Frame().windowHandle(), Qt::RightButton, {}, centre);
}

TEST_F(MainFrameTest, DraggingTheDiagramMovesTheWindow)
{
    Start();
    const QPoint before = Frame().pos();
    const QPoint start = Frame().View().geometry().center();
    QTest::mousePress(Frame().windowHandle(), Qt::LeftButton, {}, start);
    QTest::mouseMove(Frame().windowHandle(), start + QPoint(30, 20));
    QTest::mouseMove(Frame().windowHandle(), start + QPoint(60, 40));
    QTest::mouseRelease(Frame().windowHandle(), Qt::LeftButton, {}, start + QPoint(60, 40));
    EXPECT_TRUE(WaitUntil([&] { return Frame().pos() != before; }));
}

TEST_F(MainFrameTest, WithoutATrayMinimisingIsANormalMinimise)
{
    Start({}, false);
    EXPECT_EQ(Monitor().GetSettings().EnableTray, 1);
    EXPECT_FALSE(Frame().TrayIconShown());
    Frame().showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Frame().isVisible());
}

TEST_F(MainFrameTest, MinimisingHidesIntoTheTrayAndTheTrayBringsItBack)
{
    Start({}, true);
    ASSERT_TRUE(Frame().TrayIconShown());
    Frame().showMinimized();
    ASSERT_TRUE(WaitUntil([&] { return !Frame().isVisible(); }));

    Frame().UpdateTrayMenu();
    const QMenu& tray = *Frame().TrayMenu();
    EXPECT_EQ(Layout(tray), (QStringList {"Restore", "Minimize", "-", "&About...", "E&xit"}));
    EXPECT_EQ(Frame().TrayDefaultItem(), CmdTrayRestore);
    EXPECT_TRUE(FindCommandAction(tray, CmdTrayRestore)->font().bold());
    EXPECT_TRUE(FindCommandAction(tray, CmdTrayRestore)->isEnabled());
    EXPECT_FALSE(FindCommandAction(tray, CmdTrayMinimize)->isEnabled());

    Frame().OnTrayActivated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_FALSE(Frame().isMinimized());
    Frame().UpdateTrayMenu();
    EXPECT_EQ(Frame().TrayDefaultItem(), CmdTrayMinimize);
    EXPECT_FALSE(FindCommandAction(tray, CmdTrayRestore)->isEnabled());

    Frame().OnCommand(CmdTrayMinimize);
    EXPECT_FALSE(Frame().isVisible());
    Frame().OnCommand(CmdTrayRestore);
    EXPECT_TRUE(Frame().isVisible());

    // The context menu's Minimize goes the way of every minimise.
    Frame().OnCommand(CmdMinimize);
    EXPECT_TRUE(WaitUntil([&] { return !Frame().isVisible(); }));

    // Exit from the tray menu while the window is hidden.
    bool closed = false;
    QObject::connect(&Frame(), &CMainFrame::Closed, [&closed] { closed = true; });
    Frame().OnCommand(CmdAppExit);
    EXPECT_TRUE(closed);
}

TEST_F(MainFrameTest, TwoTrayPressesToggleOnlyWithin500ms)
{
    Start({}, true);
    Frame().OnTrayLeftPress(10000);
    Frame().OnTrayLeftPress(10400);
    EXPECT_FALSE(Frame().isVisible());
    Frame().OnTrayLeftPress(20000);
    Frame().OnTrayLeftPress(20600);
    EXPECT_FALSE(Frame().isVisible());
    Frame().OnTrayLeftPress(20900);  // 300 ms after the last press that did not toggle
    EXPECT_TRUE(Frame().isVisible());
}

TEST_F(MainFrameTest, TurningTheTrayOffRemovesTheIconAndMinimisesNormally)
{
    Start({}, true);
    ASSERT_TRUE(Frame().TrayIconShown());
    Frame().OnCommand(CmdEnableTray);
    EXPECT_FALSE(Frame().TrayIconShown());
    Frame().showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Frame().isVisible());
}

TEST_F(MainFrameTest, ATrayThatAppearsLaterGetsTheIconAndOneThatGoesGivesTheWindowBack)
{
    Start({}, false);  // started at login, before the panel
    ASSERT_EQ(Monitor().GetSettings().EnableTray, 1);
    EXPECT_FALSE(Frame().TrayIconShown());

    trayPresent = true;
    ASSERT_TRUE(WaitUntil([&] { return Frame().TrayIconShown(); })) << "looked for again by itself";
    EXPECT_TRUE(Frame().TrayIcon()->isVisible());
    Frame().showMinimized();
    ASSERT_TRUE(WaitUntil([&] { return !Frame().isVisible(); })) << "minimising now hides into the tray";

    trayPresent = false;
    Frame().CheckTray();
    EXPECT_TRUE(Frame().isVisible()) << "no window may stay hidden in a tray that is gone";
    EXPECT_FALSE(Frame().TrayIconShown());

    // Enable In Tray works with the tray that came back.
    Frame().OnCommand(CmdEnableTray);
    trayPresent = true;
    Frame().CheckTray();
    EXPECT_FALSE(Frame().TrayIconShown()) << "turned off meanwhile";
    Frame().OnCommand(CmdEnableTray);
    EXPECT_TRUE(Frame().TrayIconShown());
    EXPECT_TRUE(Frame().TrayIcon()->isVisible());
}

TEST_F(MainFrameTest, AProfileWithoutTrayLeavesTheIconButMinimisesNormally)
{
    const std::string path = MakeProfile(root + "NoTray.qlmd", [](MonitorSettings& s) { s.EnableTray = 0; });
    Start({}, true);
    ASSERT_TRUE(Frame().TrayIconShown());
    ASSERT_TRUE(app->OpenDocumentFile(QString::fromStdString(path)));
    EXPECT_TRUE(Frame().TrayIconShown());
    EXPECT_FALSE(Frame().MinimizeToTray());
    EXPECT_FALSE(Checked(*Frame().menuBar(), CmdEnableTray));
    Frame().showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Frame().isVisible());
}

TEST_F(MainFrameTest, ExitAsksAboutAModifiedProfileAndCancelKeepsTheWindow)
{
    Start();
    Monitor().SetModified(1);
    prompt.answers = {Answer::Cancel};
    app->OnAppExit();
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_EQ(prompt.questions.size(), 1u);

    prompt.answers = {Answer::No};
    bool closed = false;
    QObject::connect(&Frame(), &CMainFrame::Closed, [&closed] { closed = true; });
    app->OnAppExit();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(Frame().isVisible());
}

} // namespace
} // namespace quel::desktop::test
