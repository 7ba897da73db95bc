#include "desktop/quellarimond_view.h"

#include "desktop/quellarimond_doc.h"
#include "gui/qpainter_surface.h"

#include <QPaintEvent>
#include <QPainter>

namespace quel::desktop {

CQuellarimondView::CQuellarimondView(CQuellarimondDoc& document, QWidget* parent)
    : QWidget(parent), document_(&document), repaint_(*this)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    document.AddView(*this);
}

CQuellarimondView::~CQuellarimondView()
{
    if (document_)
        document_->RemoveView(*this);
}

void CQuellarimondView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (document_ == nullptr) {
        painter.fillRect(event->rect(), Qt::black);
        return;
    }
    CounterMonitor& monitor = document_->GetMonitor();
    painter.fillRect(event->rect(), ToQColor(monitor.GetSettings().BackColor));
    QPainterSurface surface(painter);
    monitor.Draw(surface, Rect {0, 0, width(), height()});
}

} // namespace quel::desktop
