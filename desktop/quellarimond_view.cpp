#include "desktop/quellarimond_view.h"

#include "desktop/quellarimond_doc.h"
#include "gui/qpainter_surface.h"

#include <QPaintEvent>
#include <QPainter>

namespace quel::desktop {

CQuellarimondView::CQuellarimondView(CQuellarimondDoc& document, QWidget* parent)
    : QFrame(parent), document_(&document), repaint_(*this)
{
    // The sunken client edge also sets a captionless window off a dark desktop.
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CQuellarimondView::~CQuellarimondView() = default;

void CQuellarimondView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    drawFrame(&painter);
    const QRect inside = contentsRect();
    painter.setClipRect(inside & event->rect());
    if (document_ == nullptr) {
        painter.fillRect(inside, Qt::black);
        return;
    }
    CounterMonitor& monitor = shown_ != nullptr ? *shown_ : document_->GetMonitor();
    painter.fillRect(event->rect() & inside, ToQColor(monitor.GetSettings().BackColor));
    QPainterSurface surface(painter);
    monitor.Draw(surface, Rect {inside.left(), inside.top(), inside.right() + 1, inside.bottom() + 1});
}

} // namespace quel::desktop
