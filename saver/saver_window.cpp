#include "saver/saver_window.h"

#include "saver/saver_frame.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cstdlib>
#include <utility>

namespace quel::saver {

SaverWindow::SaverWindow(CounterMonitor& monitor, int areaSize, int timeout, RandomSource random)
    : monitor_(monitor), scene_(width(), height(), areaSize, timeout, std::move(random))
{
    if (!QGuiApplication::platformName().startsWith(QStringLiteral("wayland")))
        startPointer_ = QCursor::pos();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::BlankCursor);
    setFocusPolicy(Qt::StrongFocus);
    setWindowTitle(QStringLiteral("Quellarimond"));
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &SaverWindow::OnTimer);
    timer_.start();
}

void SaverWindow::OnTimer()
{
    const QRect before = DiagramArea(scene_);
    if (scene_.Tick())
        update(before.united(DiagramArea(scene_)));
}

void SaverWindow::RepaintDiagram()
{
    update(DiagramArea(scene_));
}

void SaverWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintSaverFrame(painter, rect(), monitor_, scene_);
}

void SaverWindow::resizeEvent(QResizeEvent*)
{
    scene_.Resize(width(), height());
    update();
}

void SaverWindow::keyPressEvent(QKeyEvent*)
{
    emit InputSeen();
}

void SaverWindow::mousePressEvent(QMouseEvent*)
{
    emit InputSeen();
}

void SaverWindow::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint position = event->globalPosition().toPoint();
    if (!startPointer_)
        startPointer_ = position;
    const QPoint moved = position - *startPointer_;
    if (std::abs(moved.x()) > MovementSlack || std::abs(moved.y()) > MovementSlack)
        emit InputSeen();
}

} // namespace quel::saver
