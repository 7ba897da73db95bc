#include "gui/wind_rose_render.h"
#include "gui/qpainter_surface.h"
#include "windrose/wind_rose.h"

#include <QBuffer>
#include <QFile>
#include <QSvgGenerator>

namespace quel {

SurfacePainter PaintOf(WindRose& rose)
{
    return [&rose](Surface& surface, const Rect& rect) { rose.Paint(surface, rect); };
}

void PaintWithSurface(QPainter& painter, const QRect& rect, ColorRef background, const SurfacePainter& paint)
{
    painter.save();
    if (background != NoColor)
        painter.fillRect(rect, ToQColor(background));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    {
        QPainterSurface surface(painter);
        paint(surface, Rect {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()});
    }
    painter.restore();
}

QImage RenderImage(const QSize& size, ColorRef background, const SurfacePainter& paint)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    PaintWithSurface(painter, QRect(QPoint(0, 0), size), background, paint);
    return image;
}

bool SavePng(const QImage& image, const QString& path) { return !image.isNull() && image.save(path, "PNG"); }

QByteArray RenderSvg(const QSize& size, ColorRef background, const SurfacePainter& paint, const QString& title)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setResolution(96);  // the width and height attributes in mm then mean CSS pixels
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(title);
    {
        QPainter painter(&generator);
        PaintWithSurface(painter, QRect(QPoint(0, 0), size), background, paint);
    }
    return data;
}

bool SaveSvg(const QString& path, const QSize& size, ColorRef background, const SurfacePainter& paint,
             const QString& title)
{
    const QByteArray data = RenderSvg(size, background, paint, title);
    QFile file(path);
    return !data.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size()
        && file.flush();
}

} // namespace quel
