#pragma once
// QtRepaintTarget: the repaint target of a widget, or of any object of the GUI thread that
// repaints in its own way. Invalidate may be called from any thread; it queues one update() of
// the widget (or one call of the repaint function) onto the GUI thread; requests that arrive
// while one is still queued are merged into it.
//
// The target must outlive every thread that may call Invalidate: owners stop sampling before
// the widget (and with it the target) goes.

#include "platform/user_interface.h"

#include <atomic>
#include <functional>

class QObject;
class QWidget;

namespace quel {

class QtRepaintTarget final : public RepaintTarget {
public:
    explicit QtRepaintTarget(QWidget& widget);
    // repaint runs on context's thread; a request queued when context is destroyed is dropped.
    QtRepaintTarget(QObject& context, std::function<void()> repaint);
    void Invalidate() override;

private:
    QObject* context_;
    std::function<void()> repaint_;
    std::atomic<bool> queued_ {false};
};

} // namespace quel
