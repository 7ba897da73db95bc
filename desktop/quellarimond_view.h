#pragma once
// CQuellarimondView: the client area of the main window, showing the open profile's diagram
// inside a sunken edge. It fills what it repaints with the profile's background colour and
// hands the rest to the monitor's Draw (the status text, or the wind rose). It takes no mouse
// input: every mouse event over it goes to the main frame underneath.

#include "gui/qt_repaint_target.h"

#include <QFrame>

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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CQuellarimondDoc* document_;
    QtRepaintTarget repaint_;
};

} // namespace quel::desktop
