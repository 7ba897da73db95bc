#include "gui/qt_repaint_target.h"

#include <QMetaObject>
#include <QWidget>

namespace quel {

QtRepaintTarget::QtRepaintTarget(QWidget& widget) : widget_(&widget) {}

void QtRepaintTarget::Invalidate()
{
    if (queued_.exchange(true))
        return;
    // Queued on the widget itself: Qt drops the event if the widget is destroyed first.
    QMetaObject::invokeMethod(
        widget_,
        [this] {
            queued_ = false;
            widget_->update();
        },
        Qt::QueuedConnection);
}

} // namespace quel
