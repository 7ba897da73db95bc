#include "desktop/main_frame.h"

#include "desktop/command_ids.h"
#include "desktop/menus.h"
#include "desktop/quellarimond_app.h"
#include "desktop/quellarimond_doc.h"
#include "desktop/quellarimond_view.h"
#include "desktop/string_table.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTimer>
#include <QWindow>

#include <chrono>

namespace quel::desktop {

namespace {

constexpr qint64 TrayPressInterval = 500;  // ms between two presses that toggle the window

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

qint64 MonotonicMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QStringList LocalFiles(const QMimeData* data)
{
    QStringList files;
    if (data == nullptr || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    return files;
}

} // namespace

CMainFrame::CMainFrame(CQuellarimondApp& app, CQuellarimondDoc& document, bool trayAvailable,
                       const ScreenSize& screen)
    : app_(app), document_(document)
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
    if (trayAvailable)
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

void CMainFrame::CreateTrayIcon()
{
    trayMenu_ = BuildTrayMenu(this, [this](int id) { OnCommand(id); });
    connect(trayMenu_, &QMenu::aboutToShow, this, &CMainFrame::UpdateTrayMenu);
    trayIcon_ = new QSystemTrayIcon(QIcon(QStringLiteral(":/quellarimond/quellarimond.svg")), this);
    trayIcon_->setToolTip(QString::fromLatin1(text::AppName));
    trayIcon_->setContextMenu(trayMenu_);
    connect(trayIcon_, &QSystemTrayIcon::activated, this, &CMainFrame::OnTrayActivated);
    trayDefault_ = CmdTrayMinimize;
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

// Window flags change by re-creating the native window, which hides it; the place and the
// visibility are kept.
void CMainFrame::ChangeWindowFlag(Qt::WindowType flag, bool on)
{
    if (windowFlags().testFlag(flag) == on)
        return;
    const bool visible = isVisible();
    const Rect place = GetWindowRect();
    setWindowFlag(flag, on);
    MoveWindowTo(place);
    if (visible)
        show();
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

// --- tray ----------------------------------------------------------------------------------

bool CMainFrame::AddTrayIcon()
{
    if (trayIconShown_ || trayIcon_ == nullptr)
        return false;
    trayIcon_->show();
    trayIconShown_ = true;
    return true;
}

bool CMainFrame::RemoveTrayIcon()
{
    if (!trayIconShown_ || trayIcon_ == nullptr)
        return false;
    trayIcon_->hide();
    trayIconShown_ = false;
    return true;
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
    const bool visible = isVisible();
    trayDefault_ = visible ? CmdTrayMinimize : CmdTrayRestore;
    for (QAction* action : trayMenu_->actions()) {
        const int id = action->data().toInt();
        QFont font = action->font();
        font.setBold(id == trayDefault_);
        action->setFont(font);
        if (id == CmdTrayMinimize)
            action->setEnabled(visible);
        else if (id == CmdTrayRestore)
            action->setEnabled(!visible);
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

void CMainFrame::ShowContextMenu(const QPoint& globalPosition)
{
    ApplyWindowSettings(contextMenu_, false);
    contextMenu_->popup(globalPosition);
}

// --- events --------------------------------------------------------------------------------

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!app_.SaveModified()) {
        event->ignore();
        return;
    }
    RemoveTrayIcon();
    event->accept();
    emit Closed();
}

void CMainFrame::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) && minimizeToTray_
        && trayIconShown_) {
        QMetaObject::invokeMethod(this, &CMainFrame::HideToTray, Qt::QueuedConnection);
    }
}

bool CMainFrame::InDiagram(const QPointF& position) const
{
    return view_->isVisible() && view_->geometry().contains(position.toPoint());
}

void CMainFrame::mousePressEvent(QMouseEvent* event)
{
    if (!InDiagram(event->position())) {
        QMainWindow::mousePressEvent(event);
        return;
    }
    if (event->button() == Qt::LeftButton) {
        dragArmed_ = true;
        dragManual_ = false;
        dragStart_ = event->globalPosition();
        dragOrigin_ = pos();
    } else if (event->button() == Qt::RightButton) {
        ShowContextMenu(event->globalPosition().toPoint());
    }
    event->accept();
}

void CMainFrame::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragArmed_ || !(event->buttons() & Qt::LeftButton)) {
        QMainWindow::mouseMoveEvent(event);
        return;
    }
    const QPointF offset = event->globalPosition() - dragStart_;
    if (!dragManual_) {
        if (offset.manhattanLength() < QApplication::startDragDistance())
            return;
        // The window manager moves the window when it can; otherwise it follows the mouse.
        if (windowHandle() != nullptr && windowHandle()->startSystemMove()) {
            dragArmed_ = false;
            return;
        }
        dragManual_ = true;
    }
    move(dragOrigin_ + offset.toPoint());
}

void CMainFrame::mouseReleaseEvent(QMouseEvent* event)
{
    dragArmed_ = false;
    dragManual_ = false;
    QMainWindow::mouseReleaseEvent(event);
}

void CMainFrame::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && InDiagram(event->position())) {
        dragArmed_ = false;
        OnCommand(CmdCaption);
        event->accept();
        return;
    }
    QMainWindow::mouseDoubleClickEvent(event);
}

void CMainFrame::contextMenuEvent(QContextMenuEvent* event)
{
    // The mouse opens the context menu on the press; the keyboard's menu key opens it here.
    if (event->reason() == QContextMenuEvent::Keyboard)
        ShowContextMenu(view_->mapToGlobal(view_->rect().center()));
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (!LocalFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QStringList files = LocalFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    // Opened after the drop has finished, so the dragging program is not kept waiting.
    QTimer::singleShot(0, this, [this, files] { app_.OpenDroppedFiles(files); });
}

} // namespace quel::desktop
