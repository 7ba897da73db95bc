#pragma once
// CMainFrame: the main window around the diagram view, with the menu bar, a status bar that
// starts hidden and an icon in the notification area (tray). It carries the profile's window
// settings (Caption, AlwaysOntop, EnableTray) into the window, lets the user drag the window by
// the diagram, hides the window into the tray when it is minimised and handles the display
// toggles of the Options menu. Every menu command runs through its row of the command table
// (command_table.h), which also gives the check marks and the enabling.

#include "desktop/document_listener.h"
#include "profile/monitor_settings.h"
#include "windrose/wind_rose_types.h"

#include <QMainWindow>
#include <QPointF>
#include <QSystemTrayIcon>

#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QMenu;
class QTimer;

namespace quel {
class WindRose;
}

namespace quel::desktop {

struct Command;
struct CommandContext;
class CommandActions;
class CriticalNotifier;
class CQuellarimondApp;
class CQuellarimondDoc;
class CQuellarimondView;
class HistoryController;

class CMainFrame final : public QMainWindow, public DocumentListener {
    Q_OBJECT

public:
    // Half the screen, centred; the menu bar and caption come with the first activation.
    // trayAvailable tells whether the desktop has a notification area; it is asked again every
    // few seconds, so a panel that starts later still gets the icon.
    CMainFrame(CQuellarimondApp& app, CQuellarimondDoc& document, std::function<bool()> trayAvailable,
               const ScreenSize& screen);
    ~CMainFrame() override;

    CQuellarimondView& View() const { return *view_; }
    // A log shown as history (File > Open Log...).
    HistoryController& History() const { return *history_; }
    // "<profile title> - Quellarimond".
    void UpdateTitle();
    // The window's place in screen pixels: its outer top-left corner and its size (right and
    // bottom exclusive).
    Rect GetWindowRect() const;
    // Moves the window to a rectangle; an empty or inverted one is ignored.
    void MoveWindowTo(const Rect& rect) override;

    // --- what the document asks of its windows ------------------------------------------------
    void TitleChanged() override { UpdateTitle(); }
    void AddRecentFile(const QString& path) override;
    std::optional<Rect> CurrentWindowRect() const override { return GetWindowRect(); }
    void Repaint() override;
    RepaintTarget* SampleRepaintTarget() override;
    void DocumentClosing() override;

    // Run after every New and Open: each profile brings its caption, topmost state and tray icon.
    void ActivateFrame();
    // Applies the window settings and sets the check marks of menu (a menu bar or a popup;
    // null: none). With apply, the caption, menu bar and tray icon follow the settings too.
    void ApplyWindowSettings(QWidget* menu, bool apply);
    // Inverts a settings switch and returns its new value (0 or 1).
    int ToggleSetting(std::int32_t MonitorSettings::*field);
    // Inverts a display option of the wind rose, keeping its modified flag.
    void ToggleLabel(int (WindRose::*get)() const, void (WindRose::*set)(int));
    void ToggleCaption();
    void ToggleStatusBar();
    // Runs a command through its row of the command table, then updates the menus.
    void OnCommand(int id);
    void RunCommandRow(const Command& row, int id);
    const CommandActions& Actions() const { return *actions_; }

    void HideToTray();
    void RestoreFromTray();
    void ToggleVisibility();
    void ShowContextMenu(const QPoint& globalPosition);
    void ShowTrayMenu(const QPoint& globalPosition);
    // Default item and enabling of the tray menu by the window's visibility.
    void UpdateTrayMenu();
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    // A left press on the tray icon at a monotonic time in ms: two within 500 ms toggle.
    void OnTrayLeftPress(qint64 milliseconds);
    // Follows the notification area as it comes and goes: the icon that is asked for is shown
    // while there is one, and a window hidden into a tray that went away comes back.
    void CheckTray();
    // The recent-file items of the File menu from the recent-file list.
    void UpdateRecentFileMenu();
    // Adds or removes the tray icon.
    void ShowTrayIcon(bool shown);
    // Makes the window topmost or not, without touching the settings.
    void SetTopmost(bool topmost);

    // State, for the application and for tests.
    bool MinimizeToTray() const { return minimizeToTray_; }
    bool TrayIconShown() const { return trayIconShown_; }
    bool MenuShown() const { return menuShown_; }
    int TrayDefaultItem() const { return trayDefault_; }
    QMenu* ContextMenu() const { return contextMenu_; }
    QMenu* TrayMenu() const { return trayMenu_; }
    QSystemTrayIcon* TrayIcon() const { return trayIcon_; }
    QLabel* ReadyLabel() const { return readyLabel_; }
    CriticalNotifier& Notifier() const { return *criticalNotifier_; }

signals:
    // The window was closed (after the modified query): the program ends.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateStatusBar();
    void CreateTrayIcon();
    // Ask for the icon, or no longer; it is shown while asked for and a tray exists.
    void AddTrayIcon();
    void RemoveTrayIcon();
    void SyncTrayIcon();
    void ShowCaptionAndMenu(bool shown);
    void ChangeWindowFlag(Qt::WindowType flag, bool on);
    CommandContext Context();
    void UpdateMenuOnShow(QMenu* menu);
    bool InDiagram(const QPointF& position) const;

    CQuellarimondApp& app_;
    CQuellarimondDoc& document_;
    bool documentClosed_ = false;
    CQuellarimondView* view_ = nullptr;
    std::unique_ptr<CommandActions> actions_;
    HistoryController* history_ = nullptr;
    QLabel* readyLabel_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QSystemTrayIcon* trayIcon_ = nullptr;
    std::function<bool()> trayAvailable_;
    QTimer* trayWatch_ = nullptr;
    CriticalNotifier* criticalNotifier_ = nullptr;

    bool minimizeToTray_ = true;
    bool trayIconShown_ = false;
    bool trayWanted_ = false;
    bool trayPresent_ = false;
    bool menuShown_ = false;
    int trayDefault_ = 0;
    qint64 lastTrayClick_ = 0;

    // Dragging by the diagram: a left press arms it, moving past the drag distance starts it.
    bool dragArmed_ = false;
    bool dragManual_ = false;
    QPointF dragStart_;
    QPoint dragOrigin_;
};

} // namespace quel::desktop
