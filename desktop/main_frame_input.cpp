// The main frame's input: dragging the window by the diagram, the double click and the context
// menu over it, dropped files, minimising into the tray and closing.

#include "desktop/main_frame.h"

#include "desktop/command_ids.h"
#include "desktop/quellarimond_app.h"
#include "desktop/quellarimond_view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>

namespace quel::desktop {

namespace {

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

void CMainFrame::ShowContextMenu(const QPoint& globalPosition)
{
    ApplyWindowSettings(contextMenu_, false);
    contextMenu_->popup(globalPosition);
}

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
