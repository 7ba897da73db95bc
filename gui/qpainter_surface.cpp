#include "gui/qpainter_surface.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace quel {

namespace {

QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The centre of the pixel at (x, y).
QPointF PixelCentre(int x, int y) { return QPointF(x + 0.5, y + 0.5); }

} // namespace

QPen ToQPen(const PenDesc& pen)
{
    QPen q(ToQColor(pen.color));
    q.setWidth(std::max(pen.width, 0));  // width 0 is one pixel whatever the scale
    switch (pen.style) {
    case PenDash: q.setStyle(Qt::DashLine); break;
    case PenDot: q.setStyle(Qt::DotLine); break;
    case PenDashDot: q.setStyle(Qt::DashDotLine); break;
    case PenDashDotDot: q.setStyle(Qt::DashDotDotLine); break;
    case PenNull: q.setStyle(Qt::NoPen); break;
    default: q.setStyle(Qt::SolidLine); break;
    }
    q.setCapStyle(Qt::FlatCap);
    q.setJoinStyle(Qt::MiterJoin);
    return q;
}

QFont ToQFont(const FontDesc& font, const QFont& base)
{
    QFont q(base);
    if (font.face == "MS Sans Serif" || font.face == "MS Shell Dlg") {
        q.setFamilies({QStringLiteral("sans-serif")});
        q.setStyleHint(QFont::SansSerif);
    } else if (!font.face.empty()) {
        q.setFamilies({QString::fromStdString(font.face)});
    }
    if (font.weight > 0)
        q.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight, 1, 1000)));
    q.setItalic(font.italic);
    q.setUnderline(font.underline);
    q.setStrikeOut(font.strikeOut);
    if (font.height < 0) {
        q.setPixelSize(-font.height);
    } else if (font.height > 0) {
        // The cell height (ascent + descent) should match: scale the pixel size once.
        q.setPixelSize(font.height);
        const int cell = QFontMetrics(q).height();
        if (cell > 0 && cell != font.height)
            q.setPixelSize(std::max(1, static_cast<int>(std::lround(font.height * double(font.height) / cell))));
    }
    return q;
}

QPainterSurface::QPainterSurface(QPainter& painter)
    : painter_(painter),
      baseFont_(painter.font()),
      qfont_(painter.font()),
      metrics_(painter.font(), painter.device()),
      rawFont_(QRawFont::fromFont(painter.font()))
{
    qpen_ = ToQPen(pen_);
    painter_.setPen(qpen_);
    painter_.setBrush(Qt::NoBrush);
}

PenDesc QPainterSurface::SelectPen(const PenDesc& pen)
{
    const PenDesc previous = pen_;
    if (!(pen == pen_)) {
        pen_ = pen;
        qpen_ = ToQPen(pen);
    }
    painter_.setPen(qpen_);
    return previous;
}

FontDesc QPainterSurface::SelectFont(const FontDesc& font)
{
    FontDesc previous = font_;
    if (!(font == font_)) {
        font_ = font;
        qfont_ = ToQFont(font, baseFont_);
        metrics_ = QFontMetrics(qfont_, painter_.device());
        rawFont_ = QRawFont::fromFont(qfont_);
        shaped_.clear();
    }
    painter_.setFont(qfont_);
    return previous;
}

ColorRef QPainterSurface::SetTextColor(ColorRef color) { return std::exchange(textColor_, color); }

ColorRef QPainterSurface::SetBkColor(ColorRef color) { return std::exchange(bkColor_, color); }

void QPainterSurface::MoveTo(int x, int y) { position_ = PixelCentre(x, y); }

void QPainterSurface::LineTo(int x, int y)
{
    const QPointF to = PixelCentre(x, y);
    painter_.drawLine(position_, to);
    position_ = to;
}

void QPainterSurface::Polyline(const Point* points, int count)
{
    if (count < 2)
        return;
    points_.resize(count);
    for (int i = 0; i < count; ++i)
        points_[i] = PixelCentre(points[i].x, points[i].y);
    painter_.drawPolyline(points_.constData(), count);
}

void QPainterSurface::Arc(int left, int top, int right, int bottom)
{
    // The outline fills the box's pixels from left to right - 1, as the box's owner expects.
    const double width = double(right) - left - 1;
    const double height = double(bottom) - top - 1;
    if (width < 0 || height < 0)
        return;
    painter_.drawEllipse(QRectF(left + 0.5, top + 0.5, width, height));
}

int QPainterSurface::QtFlags(unsigned flags)
{
    int q = Qt::AlignTop;
    q |= (flags & TextCenter) ? Qt::AlignHCenter : Qt::AlignLeft;
    if (flags & TextWordBreak)
        q |= Qt::TextWordWrap;
    return q;
}

const QPainterSurface::ShapedText& QPainterSurface::Shape(std::string_view text)
{
    const auto found = shaped_.find(std::string(text));
    if (found != shaped_.end())
        return found->second;
    if (shaped_.size() > 1024)
        shaped_.clear();  // a surface that lives long draws ever new texts
    ShapedText shaped;
    const QString s = ToQString(text);
    // Plain ASCII in a font that has every glyph: shape once, draw the glyphs. Anything else
    // goes through QPainter's full text layout.
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    QList<quint32> indexes;
    if (ascii && rawFont_.isValid())
        indexes = rawFont_.glyphIndexesForString(s);
    if (!indexes.isEmpty() && !indexes.contains(0)) {
        const QList<QPointF> advances = rawFont_.advancesForGlyphIndexes(indexes, QRawFont::KernedAdvances);
        QList<QPointF> positions;
        positions.reserve(advances.size());
        double x = 0;
        for (const QPointF& advance : advances) {
            positions.append(QPointF(x, 0));
            x += advance.x();
        }
        shaped.glyphs.setRawFont(rawFont_);
        shaped.glyphs.setGlyphIndexes(indexes);
        shaped.glyphs.setPositions(positions);
        shaped.glyphs.setUnderline(qfont_.underline());
        shaped.glyphs.setStrikeOut(qfont_.strikeOut());
        shaped.width = static_cast<int>(std::lround(x));
        shaped.hasGlyphs = true;
    } else {
        shaped.width = metrics_.horizontalAdvance(s);
    }
    return shaped_.emplace(std::string(text), std::move(shaped)).first->second;
}

Size QPainterSurface::MeasureText(std::string_view text, unsigned flags, int widthLimit)
{
    if ((flags & TextWordBreak) == 0)
        return Size {Shape(text).width, metrics_.height()};
    const QString s = ToQString(text);
    const QRect box = metrics_.boundingRect(QRect(0, 0, std::max(widthLimit, 1), std::numeric_limits<int>::max() / 4),
                                            QtFlags(flags), s);
    return Size {box.width(), box.height()};
}

// The cells the text covers in box: the background an opaque text gets.
QRect QPainterSurface::TextCell(const QRect& box, int qtFlags, const QString& text) const
{
    if (qtFlags & Qt::TextWordWrap)
        return metrics_.boundingRect(box, qtFlags, text);
    const int width = metrics_.horizontalAdvance(text);
    const int left = (qtFlags & Qt::AlignHCenter) ? box.left() + (box.width() - width) / 2 : box.left();
    return QRect(left, box.top(), width, metrics_.height());
}

void QPainterSurface::DrawText(std::string_view text, const Rect& rect, unsigned flags)
{
    const QRect box(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    if ((flags & TextWordBreak) == 0) {
        const ShapedText& shaped = Shape(text);
        if (shaped.hasGlyphs) {
            const int left = (flags & TextCenter) ? box.left() + (box.width() - shaped.width) / 2 : box.left();
            if (mode_ == Opaque)
                painter_.fillRect(QRect(left, box.top(), shaped.width, metrics_.height()), ToQColor(bkColor_));
            painter_.setPen(ToQColor(textColor_));
            painter_.drawGlyphRun(QPointF(left, box.top() + metrics_.ascent()), shaped.glyphs);
            painter_.setPen(qpen_);
            return;
        }
    }
    const QString s = ToQString(text);
    const int qtFlags = QtFlags(flags);
    if (mode_ == Opaque) {
        painter_.fillRect(TextCell(box, qtFlags, s), ToQColor(bkColor_));
    }
    painter_.setPen(ToQColor(textColor_));
    painter_.drawText(box, qtFlags, s);
    painter_.setPen(qpen_);
}

} // namespace quel
