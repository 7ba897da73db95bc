#include "gui/qt_repaint_target.h"

#include <QMetaObject>
#include <QWidget>

#include <utility>

namespace quel {

QtRepaintTarget::QtRepaintTarget(QWidget& widget) : QtRepaintTarget(widget, [&widget] { widget.update(); }) {}

QtRepaintTarget::QtRepaintTarget(QObject& context, std::function<void()> repaint)
    : context_(&context), repaint_(std::move(repaint))
{
}

void QtRepaintTarget::Invalidate()
{
    if (queued_.exchange(true))
        return;
    // Queued on the context itself: Qt drops the event if the context is destroyed first.
    QMetaObject::invokeMethod(
        context_,
        [this] {
            queued_ = false;
            repaint_();
        },
        Qt::QueuedConnection);
}

} // namespace quel
