#pragma once
// CQuellarimondView: the client area of the main window, showing the open profile's diagram
// inside a sunken edge. It fills what it repaints with the profile's background colour and
// hands the rest to the monitor's Draw (the status text, or the wind rose). It takes no mouse
// input: every mouse event over it goes to the main frame underneath.

#include "gui/qt_repaint_target.h"

#include <QFrame>

namespace quel {
class CounterMonitor;
}

namespace quel::desktop {

class CQuellarimondDoc;

class CQuellarimondView final : public QFrame {
    Q_OBJECT

public:
    CQuellarimondView(CQuellarimondDoc& document, QWidget* parent);
    ~CQuellarimondView() override;

    // What the sampling thread invalidates after each sample.
    RepaintTarget& GetRepaintTarget() { return repaint_; }
    // The document is going; the view paints only its background from now on.
    void DetachDocument() { document_ = nullptr; }
    // Draws monitor (a log's history) instead of the document's; null: the document's again.
    void ShowInstead(CounterMonitor* monitor)
    {
        shown_ = monitor;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CQuellarimondDoc* document_;
    QtRepaintTarget repaint_;
    CounterMonitor* shown_ = nullptr;
};

} // namespace quel::desktop
