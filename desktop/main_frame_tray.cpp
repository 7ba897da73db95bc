// The main frame's tray icon: adding and removing it, hiding into it and restoring from it,
// its menu and its clicks.

#include "desktop/main_frame.h"

#include "desktop/command_actions.h"
#include "desktop/command_ids.h"
#include "desktop/command_table.h"
#include "desktop/menus.h"
#include "desktop/string_table.h"

#include <QAction>
#include <QFont>
#include <QIcon>
#include <QMenu>
#include <QTimer>

#include <chrono>

namespace quel::desktop {

namespace {

constexpr qint64 TrayPressInterval = 500;  // ms between two presses that toggle the window
constexpr int TrayCheckInterval = 2000;    // ms between two looks for a notification area

qint64 MonotonicMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void CMainFrame::CreateTrayIcon()
{
    trayMenu_ = BuildTrayMenu(this, *actions_);
    connect(trayMenu_, &QMenu::aboutToShow, this, &CMainFrame::UpdateTrayMenu);
    trayIcon_ = new QSystemTrayIcon(QIcon(QStringLiteral(":/quellarimond/quellarimond.svg")), this);
    trayIcon_->setToolTip(QString::fromLatin1(text::AppName));
    trayIcon_->setContextMenu(trayMenu_);
    connect(trayIcon_, &QSystemTrayIcon::activated, this, &CMainFrame::OnTrayActivated);
    trayDefault_ = CmdTrayMinimize;

    // Qt tells nobody when a notification area appears, so it is looked for now and then.
    trayPresent_ = trayAvailable_ && trayAvailable_();
    trayWatch_ = new QTimer(this);
    trayWatch_->setInterval(TrayCheckInterval);
    connect(trayWatch_, &QTimer::timeout, this, &CMainFrame::CheckTray);
    trayWatch_->start();
}

void CMainFrame::AddTrayIcon()
{
    trayWanted_ = true;
    SyncTrayIcon();
}

void CMainFrame::RemoveTrayIcon()
{
    trayWanted_ = false;
    SyncTrayIcon();
}

void CMainFrame::SyncTrayIcon()
{
    const bool shown = trayWanted_ && trayPresent_;
    if (shown == trayIconShown_ || trayIcon_ == nullptr)
        return;
    trayIcon_->setVisible(shown);
    trayIconShown_ = shown;
}

void CMainFrame::CheckTray()
{
    const bool present = trayAvailable_ && trayAvailable_();
    if (present == trayPresent_)
        return;
    trayPresent_ = present;
    SyncTrayIcon();  // the icon goes with its tray; shown anew, it docks in the new one
    if (!present && !isVisible() && trayDefault_ == CmdTrayRestore)
        RestoreFromTray();  // it was hidden into the tray that went away
}

void CMainFrame::ShowTrayIcon(bool shown)
{
    if (shown)
        AddTrayIcon();
    else
        RemoveTrayIcon();
}

void CMainFrame::HideToTray()
{
    hide();
    trayDefault_ = CmdTrayRestore;
}

void CMainFrame::RestoreFromTray()
{
    // A window minimised before it was hidden comes back at its former size.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    trayDefault_ = CmdTrayMinimize;
}

void CMainFrame::ToggleVisibility()
{
    if (isVisible())
        HideToTray();
    else
        RestoreFromTray();
}

void CMainFrame::UpdateTrayMenu()
{
    if (trayMenu_ == nullptr)
        return;
    trayDefault_ = isVisible() ? CmdTrayMinimize : CmdTrayRestore;
    actions_->UpdateStates(Context());
    for (QAction* action : trayMenu_->actions()) {
        QFont font = action->font();
        font.setBold(action->data().toInt() == trayDefault_);
        action->setFont(font);
    }
}

void CMainFrame::ShowTrayMenu(const QPoint& globalPosition)
{
    if (trayMenu_ == nullptr)
        return;
    UpdateTrayMenu();
    trayMenu_->popup(globalPosition);
}

void CMainFrame::OnTrayActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        OnTrayLeftPress(MonotonicMilliseconds());
        break;
    case QSystemTrayIcon::DoubleClick:
        ToggleVisibility();
        lastTrayClick_ = 0;
        break;
    default:
        break;  // the context menu is shown by the icon itself, updated in aboutToShow
    }
}

void CMainFrame::OnTrayLeftPress(qint64 milliseconds)
{
    if (lastTrayClick_ != 0 && milliseconds - lastTrayClick_ < TrayPressInterval) {
        ToggleVisibility();
        lastTrayClick_ = 0;
    } else {
        lastTrayClick_ = milliseconds;
    }
}

} // namespace quel::desktop
