#include "saver/saver_frame.h"

#include "gui/qpainter_surface.h"

#include <QPainter>
#include <QRect>

namespace quel::saver {

void PaintSaverFrame(QPainter& painter, const QRect& client, CounterMonitor& monitor, const SaverScene& scene)
{
    painter.fillRect(client, Qt::black);
    if (!scene.DiagramVisible())
        return;
    // Nothing is drawn beyond the square's area, so repainting that area alone is exact.
    painter.setClipRect(DiagramArea(scene), painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    QPainterSurface surface(painter);
    monitor.Draw(surface, scene.DiagramRect());
}

QRect DiagramArea(const SaverScene& scene)
{
    const Rect& rect = scene.DiagramRect();
    constexpr int margin = 2;  // antialiased lines reach half a pixel beyond their ends
    return QRect(QPoint(rect.left, rect.top), QPoint(rect.right, rect.bottom)).adjusted(-margin, -margin, margin, margin);
}

} // namespace quel::saver
