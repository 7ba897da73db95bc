#include "desktop/main_frame.h"

#include "desktop/command_actions.h"
#include "desktop/command_ids.h"
#include "desktop/command_table.h"
#include "desktop/critical_notifier.h"
#include "desktop/log_owner_notice.h"
#include "desktop/history_controller.h"
#include "desktop/menus.h"
#include "desktop/quellarimond_app.h"
#include "desktop/quellarimond_doc.h"
#include "desktop/quellarimond_view.h"
#include "desktop/string_table.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QWindow>

namespace quel::desktop {

CMainFrame::CMainFrame(CQuellarimondApp& app, CQuellarimondDoc& document, std::function<bool()> trayAvailable,
                       const ScreenSize& screen)
    : app_(app), document_(document), trayAvailable_(std::move(trayAvailable))
{
    const int width = screen.width / 2;
    const int height = screen.height / 2;
    resize(width, height);
    move((screen.width - width) / 2, (screen.height - height) / 2);
    // No caption until the first activation brings the profile's choice.
    setWindowFlag(Qt::FramelessWindowHint, true);

    view_ = new CQuellarimondView(document, this);
    setCentralWidget(view_);
    document_.SetListener(this);
    history_ = new HistoryController(document, *this);

    actions_ = std::make_unique<CommandActions>(*this, [this](const Command& row, int id) { RunCommandRow(row, id); });
    BuildMainMenu(*menuBar(), *actions_);
    menuBar()->hide();
    for (QAction* menu : menuBar()->actions())
        UpdateMenuOnShow(menu->menu());
    contextMenu_ = BuildContextMenu(this, *actions_);
    CreateStatusBar();
    CreateTrayIcon();
    criticalNotifier_ = new CriticalNotifier(
        document_.GetMonitor(), [this] { return windowTitle(); },
        [this] { return trayIconShown_ ? trayIcon_ : nullptr; }, this);
    UpdateRecentFileMenu();
    UpdateTitle();
}

CMainFrame::~CMainFrame()
{
    if (!documentClosed_)
        document_.SetListener(nullptr);
    RemoveTrayIcon();
}

void CMainFrame::AddRecentFile(const QString& path)
{
    app_.RecentFiles().Add(path);
}

void CMainFrame::Repaint()
{
    view_->update();
}

RepaintTarget* CMainFrame::SampleRepaintTarget()
{
    return &view_->GetRepaintTarget();
}

void CMainFrame::DocumentClosing()
{
    documentClosed_ = true;
    view_->DetachDocument();
}

// Enabling and check marks are brought up to date whenever a menu opens.
void CMainFrame::UpdateMenuOnShow(QMenu* menu)
{
    if (menu == nullptr)
        return;
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        UpdateRecentFileMenu();
        actions_->UpdateStates(Context());
    });
}

CommandContext CMainFrame::Context()
{
    return CommandContext {app_, document_, *this};
}

void CMainFrame::CreateStatusBar()
{
    readyLabel_ = new QLabel(QString::fromLatin1(text::Ready), this);
    statusBar()->addWidget(readyLabel_, 1);
    statusBar()->hide();
    new LogOwnerNotice(*readyLabel_, *statusBar(), document_.GetMonitor(), this);
}

void CMainFrame::UpdateTitle()
{
    setWindowTitle(document_.GetTitle() + QStringLiteral(" - ") + QString::fromLatin1(text::AppName));
}

// The rectangle starts at the outer corner of the window (with the window manager's frame, as
// move() places it) and has the size of the window itself: setting it back with MoveWindowTo
// gives the same window whatever frame the window manager draws.
Rect CMainFrame::GetWindowRect() const
{
    // The native window's frame is asked afresh: the widget's copy of it is only renewed when
    // the window moves, not when the window manager redraws the frame after a caption change.
    const QWindow* window = windowHandle();
    const QPoint corner = window != nullptr ? window->frameGeometry().topLeft() : frameGeometry().topLeft();
    const QSize size = geometry().size();
    return Rect {corner.x(), corner.y(), corner.x() + size.width(), corner.y() + size.height()};
}

void CMainFrame::MoveWindowTo(const Rect& rect)
{
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    resize(rect.Width(), rect.Height());
    move(rect.left, rect.top);
    update();
}

// --- window settings -----------------------------------------------------------------------

void CMainFrame::ActivateFrame()
{
    ApplyWindowSettings(menuShown_ ? menuBar() : nullptr, true);
}

void CMainFrame::ApplyWindowSettings(QWidget* menu, bool apply)
{
    const MonitorSettings settings = document_.GetMonitor().GetSettings();
    SetTopmost(settings.AlwaysOntop != 0);
    minimizeToTray_ = settings.EnableTray != 0;
    if (apply && settings.EnableTray)
        AddTrayIcon();  // an icon that is shown is never removed here
    if (apply && !settings.Caption) {
        ShowCaptionAndMenu(false);
        return;
    }
    if (apply) {
        ShowCaptionAndMenu(true);
        if (menu == nullptr)
            menu = menuBar();
    }
    if (menu != nullptr)
        actions_->UpdateStates(Context());
}

int CMainFrame::ToggleSetting(std::int32_t MonitorSettings::*field)
{
    if (field == nullptr)
        return 0;
    CounterMonitor& monitor = document_.GetMonitor();
    MonitorSettings settings = monitor.GetSettings();
    const int value = settings.*field ? 0 : 1;
    settings.*field = value;
    if (field == &MonitorSettings::EnableTray)
        minimizeToTray_ = value != 0;
    monitor.ApplySettings(settings);
    monitor.ApplyDisplaySettings();
    view_->update();
    return value;
}

void CMainFrame::ToggleLabel(int (WindRose::*get)() const, void (WindRose::*set)(int))
{
    CounterMonitor& monitor = document_.GetMonitor();
    {
        WindRoseLock guard(monitor);
        const int modified = monitor.IsModified();
        (monitor.*set)((monitor.*get)() ? 0 : 1);
        monitor.SetModified(modified);  // a display switch is saved silently, not asked about
    }
    view_->update();
}

void CMainFrame::ToggleStatusBar()
{
    statusBar()->setVisible(statusBar()->isHidden());
}

void CMainFrame::ToggleCaption()
{
    if (ToggleSetting(&MonitorSettings::Caption)) {
        ShowCaptionAndMenu(true);
        ActivateFrame();
    } else {
        ShowCaptionAndMenu(false);
    }
}

void CMainFrame::ShowCaptionAndMenu(bool shown)
{
    menuShown_ = shown;
    menuBar()->setVisible(shown);
    ChangeWindowFlag(Qt::FramelessWindowHint, !shown);
}

void CMainFrame::SetTopmost(bool topmost)
{
    ChangeWindowFlag(Qt::WindowStaysOnTopHint, topmost);
}

// A native window takes new flags in place, so it keeps its place, size and stacking (making it
// anew, as QWidget::setWindowFlags does, lets the window manager place it again: it crept up by
// its title bar every few toggles, and now and then came back without one). Before the first
// show there is nothing to keep.
void CMainFrame::ChangeWindowFlag(Qt::WindowType flag, bool on)
{
    if (windowFlags().testFlag(flag) == on)
        return;
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(flag, on);
    QWindow* window = windowHandle();
    if (window == nullptr) {
        setWindowFlags(flags);
        return;
    }
    overrideWindowFlags(flags);
    window->setFlags(flags);
}

// --- commands ------------------------------------------------------------------------------

void CMainFrame::OnCommand(int id)
{
    if (const Command* row = FindCommand(id))
        RunCommandRow(*row, id);
}

void CMainFrame::RunCommandRow(const Command& row, int id)
{
    CommandContext context = Context();
    if (!RunCommand(context, row, id))
        return;
    // Check marks follow the settings the command may have changed.
    UpdateRecentFileMenu();
    actions_->UpdateStates(context);
}

void CMainFrame::UpdateRecentFileMenu()
{
    UpdateRecentFileItems(*actions_, app_.RecentFiles().Entries());
}

} // namespace quel::desktop
