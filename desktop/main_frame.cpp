#include "desktop/main_frame.h"

#include "desktop/command_ids.h"
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

namespace {

// The settings switch a toggle command inverts; null for other commands.
std::int32_t MonitorSettings::*SettingField(int id)
{
    switch (id) {
    case CmdCaption:
        return &MonitorSettings::Caption;
    case CmdAlwaysOnTop:
        return &MonitorSettings::AlwaysOntop;
    case CmdEnableTray:
        return &MonitorSettings::EnableTray;
    case CmdShowCurrent:
        return &MonitorSettings::ShowCurrent;
    case CmdShowAverage:
        return &MonitorSettings::ShowAverage;
    case CmdShowMax:
        return &MonitorSettings::ShowMax;
    case CmdBoldCurrent:
        return &MonitorSettings::BoldCur;
    case CmdBoldAverage:
        return &MonitorSettings::BoldAvg;
    case CmdBoldMax:
        return &MonitorSettings::BoldMax;
    case CmdBoldCritical:
        return &MonitorSettings::BoldCrit;
    default:
        return nullptr;
    }
}

int ColorTargetOf(int id)
{
    switch (id) {
    case CmdColorMax:
        return ColorMax;
    case CmdColorAverage:
        return ColorAverage;
    case CmdColorCurrent:
        return ColorCurrent;
    case CmdBackColor:
        return ColorBack;
    case CmdTextColor:
        return ColorText;
    case CmdLinesColor:
        return ColorLines;
    default:
        return ColorCritical;
    }
}

bool IsColorCommand(int id)
{
    return id == CmdColorMax || id == CmdColorAverage || id == CmdColorCurrent || id == CmdBackColor
        || id == CmdTextColor || id == CmdLinesColor || id == CmdCriticalColor;
}

} // namespace

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

    BuildMainMenu(*menuBar(), [this](int id) { OnCommand(id); }, recentFileMenu_);
    menuBar()->hide();
    const QList<QAction*> menus = menuBar()->actions();
    if (!menus.isEmpty() && menus.front()->menu()) {
        connect(menus.front()->menu(), &QMenu::aboutToShow, this, &CMainFrame::UpdateRecentFileMenu);
    }
    contextMenu_ = BuildContextMenu(this, [this](int id) { OnCommand(id); });
    CreateShortcuts();
    CreateStatusBar();
    CreateTrayIcon();
    UpdateRecentFileMenu();
    UpdateTitle();
}

CMainFrame::~CMainFrame()
{
    RemoveTrayIcon();
}

void CMainFrame::CreateShortcuts()
{
    const std::pair<int, QKeySequence> keys[] = {
        {CmdFileNew, QKeySequence(Qt::CTRL | Qt::Key_N)},
        {CmdFileOpen, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {CmdFileSave, QKeySequence(Qt::CTRL | Qt::Key_S)},
    };
    for (const auto& [id, key] : keys) {
        auto* action = new QAction(this);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, id = id] { OnCommand(id); });
        addAction(action);
    }
}

void CMainFrame::CreateStatusBar()
{
    readyLabel_ = new QLabel(QString::fromLatin1(text::Ready), this);
    statusBar()->addWidget(readyLabel_, 1);
    statusBar()->hide();
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
    const QPoint corner = frameGeometry().topLeft();
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
        SetCheckMarks(*menu);
}

void CMainFrame::SetCheckMarks(QWidget& menu)
{
    const MonitorSettings s = document_.GetMonitor().GetSettings();
    const CounterMonitor& monitor = document_.GetMonitor();
    const std::pair<int, bool> marks[] = {
        {CmdShowNames, monitor.GetShowNames() != 0},
        {CmdShowValues, monitor.GetShowValues() != 0},
        {CmdShowNumbers, monitor.GetShowNumbers() != 0},
        {CmdAlwaysOnTop, s.AlwaysOntop != 0},
        {CmdEnableTray, s.EnableTray != 0},
        {CmdShowCurrent, s.ShowCurrent != 0},
        {CmdShowAverage, s.ShowAverage != 0},
        {CmdShowMax, s.ShowMax != 0},
        {CmdBoldCurrent, s.BoldCur != 0},
        {CmdBoldAverage, s.BoldAvg != 0},
        {CmdBoldMax, s.BoldMax != 0},
        {CmdBoldCritical, s.BoldCrit != 0},
        {CmdCaption, s.Caption != 0},
    };
    for (const auto& [id, checked] : marks)
        SetCommandChecked(menu, id, checked);
    SetCommandChecked(menu, CmdStatusBar, !statusBar()->isHidden());
}

int CMainFrame::ToggleSetting(int id)
{
    std::int32_t MonitorSettings::*field = SettingField(id);
    if (field == nullptr)
        return 0;
    CounterMonitor& monitor = document_.GetMonitor();
    MonitorSettings settings = monitor.GetSettings();
    const int value = settings.*field ? 0 : 1;
    settings.*field = value;
    if (id == CmdEnableTray)
        minimizeToTray_ = value != 0;
    if (menuShown_)
        SetCommandChecked(*menuBar(), id, value != 0);
    monitor.ApplySettings(settings);
    monitor.ApplyDisplaySettings();
    view_->update();
    return value;
}

void CMainFrame::ToggleLabels(int id)
{
    CounterMonitor& monitor = document_.GetMonitor();
    bool shown = false;
    {
        WindRoseLock guard(monitor);
        const int modified = monitor.IsModified();
        switch (id) {
        case CmdShowNames:
            shown = !monitor.GetShowNames();
            monitor.SetShowNames(shown);
            break;
        case CmdShowValues:
            shown = !monitor.GetShowValues();
            monitor.SetShowValues(shown);
            break;
        default:
            shown = !monitor.GetShowNumbers();
            monitor.SetShowNumbers(shown);
            break;
        }
        monitor.SetModified(modified);  // a display switch is saved silently, not asked about
    }
    if (menuShown_)
        SetCommandChecked(*menuBar(), id, shown);
    view_->update();
}

void CMainFrame::ToggleStatusBar()
{
    const bool shown = statusBar()->isHidden();
    statusBar()->setVisible(shown);
    SetCommandChecked(*menuBar(), CmdStatusBar, shown);
}

void CMainFrame::OnToggleCaption()
{
    if (ToggleSetting(CmdCaption)) {
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
// its title bar at each toggle). Before the first show there is nothing to keep.
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
    if (id >= CmdRecentFile && id < CmdRecentFile + RecentFileCount) {
        app_.OnOpenRecentFile(id - CmdRecentFile);
        return;
    }
    if (IsColorCommand(id)) {
        document_.ChooseSettingColor(ColorTargetOf(id));
        return;
    }
    switch (id) {
    case CmdFileNew:
        app_.OnFileNew();
        break;
    case CmdFileOpen:
        app_.OnFileOpen();
        break;
    case CmdFileSave:
        app_.OnFileSave();
        break;
    case CmdFileSaveAs:
        app_.OnFileSaveAs();
        break;
    case CmdAppExit:
        app_.OnAppExit();
        break;
    case CmdViewLog:
        document_.OnViewLog();
        break;
    case CmdCleanLog:
        document_.OnCleanLog();
        break;
    case CmdResetMax:
        document_.OnResetMax();
        break;
    case CmdRestart:
        document_.OnRestart();
        break;
    case CmdCaption:
        OnToggleCaption();
        break;
    case CmdAlwaysOnTop:
        SetTopmost(ToggleSetting(id) != 0);
        break;
    case CmdEnableTray:
        if (ToggleSetting(id))
            AddTrayIcon();
        else
            RemoveTrayIcon();
        break;
    case CmdShowCurrent:
    case CmdShowAverage:
    case CmdShowMax:
    case CmdBoldCurrent:
    case CmdBoldAverage:
    case CmdBoldMax:
    case CmdBoldCritical:
        ToggleSetting(id);
        break;
    case CmdShowNames:
    case CmdShowValues:
    case CmdShowNumbers:
        ToggleLabels(id);
        break;
    case CmdStatusBar:
        ToggleStatusBar();
        break;
    case CmdHelpContents:
        app_.OnHelpContents();
        break;
    case CmdAppAbout:
        app_.OnAppAbout();
        break;
    case CmdMinimize:
        // Goes the way of every minimise: into the tray when that is enabled.
        QMetaObject::invokeMethod(this, &QWidget::showMinimized, Qt::QueuedConnection);
        break;
    case CmdTrayRestore:
        RestoreFromTray();
        break;
    case CmdTrayMinimize:
        HideToTray();
        break;
    default:
        break;
    }
}

void CMainFrame::UpdateRecentFileMenu()
{
    recentFileMenu_->clear();
    const QStringList& entries = app_.RecentFiles().Entries();
    for (int i = 0; i < entries.size() && i < RecentFileCount; ++i) {
        QString shown = entries[i];
        shown.replace(QLatin1Char('&'), QLatin1String("&&"));
        QAction* action = recentFileMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
        action->setData(CmdRecentFile + i);
        connect(action, &QAction::triggered, this, [this, i] { OnCommand(CmdRecentFile + i); });
    }
    recentFileMenu_->menuAction()->setEnabled(!entries.isEmpty());
}

} // namespace quel::desktop
