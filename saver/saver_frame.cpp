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
    QPainterSurface surface(painter);
    monitor.Draw(surface, scene.DiagramRect());
}

} // namespace quel::saver
