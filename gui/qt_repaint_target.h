#pragma once
// QtRepaintTarget: the repaint target of a widget. Invalidate may be called from any thread; it
// queues one update() of the widget onto the GUI thread (requests that arrive while one is
// still queued are merged into it).
//
// The target must outlive every thread that may call Invalidate: owners stop sampling before
// the widget (and with it the target) goes.

#include "platform/user_interface.h"

#include <atomic>

class QWidget;

namespace quel {

class QtRepaintTarget final : public RepaintTarget {
public:
    explicit QtRepaintTarget(QWidget& widget);
    void Invalidate() override;

private:
    QWidget* widget_;
    std::atomic<bool> queued_ {false};
};

} // namespace quel
