#pragma once
// Painting onto a Surface into a QImage (PNG) or into SVG. The helpers take any callback that
// paints within a rectangle, so the wind rose and the counter monitor's drawing share them.

#include "windrose/surface.h"

#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>

namespace quel {

class WindRose;

// Paints within rect on the given surface.
using SurfacePainter = std::function<void(Surface& surface, const Rect& rect)>;

// A painter of the wind rose: rose.Paint(surface, rect).
SurfacePainter PaintOf(WindRose& rose);

// Fills rect with background (unless NoColor), turns antialiasing on and calls paint with a
// QPainterSurface on painter, whose state is saved and restored around it.
void PaintWithSurface(QPainter& painter, const QRect& rect, ColorRef background, const SurfacePainter& paint);

// An image of size (transparent where nothing is painted when background is NoColor).
QImage RenderImage(const QSize& size, ColorRef background, const SurfacePainter& paint);
bool SavePng(const QImage& image, const QString& path);

// An SVG document of size.
QByteArray RenderSvg(const QSize& size, ColorRef background, const SurfacePainter& paint,
                     const QString& title = QString());
bool SaveSvg(const QString& path, const QSize& size, ColorRef background, const SurfacePainter& paint,
             const QString& title = QString());

} // namespace quel
