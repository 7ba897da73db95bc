#pragma once
// The wind rose's Surface on a QPainter (windows, QImage, SVG). Pens and fonts are realised from
// their descriptions; colours are 0x00BBGGRR. Lines, polylines and circles are drawn through the
// centres of the model's integer pixels, so antialiased output stays crisp.

#include "gui/qt_color.h"
#include "windrose/surface.h"

#include <QFont>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QRawFont>
#include <QVector>

#include <string>
#include <unordered_map>

namespace quel {

QPen ToQPen(const PenDesc& pen);
// "MS Sans Serif" becomes the sans-serif family; a positive height is the cell height, a negative
// one the character height, both in pixels; 0 keeps base's size.
QFont ToQFont(const FontDesc& font, const QFont& base);

class QPainterSurface : public Surface {
public:
    // Starts with a black solid pen of width 1, the default font, black text on a white text
    // background and the Opaque background mode, as a fresh device context does.
    explicit QPainterSurface(QPainter& painter);

    // Opaque fills each text's cell with the background colour before the text is drawn.
    void SetBkMode(BackgroundMode mode) { mode_ = mode; }
    BackgroundMode GetBkMode() const { return mode_; }

    PenDesc SelectPen(const PenDesc& pen) override;
    FontDesc SelectFont(const FontDesc& font) override;
    ColorRef SetTextColor(ColorRef color) override;
    ColorRef SetBkColor(ColorRef color) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Polyline(const Point* points, int count) override;
    void Arc(int left, int top, int right, int bottom) override;
    Size MeasureText(std::string_view text, unsigned flags = TextLeft, int widthLimit = 0) override;
    void DrawText(std::string_view text, const Rect& rect, unsigned flags) override;

private:
    // A one-line text shaped once in the current font: measured, and drawn from its glyphs.
    struct ShapedText {
        int width = 0;
        bool hasGlyphs = false;  // false: drawn through QPainter's own text layout
        QGlyphRun glyphs;
    };

    static int QtFlags(unsigned flags);
    QRect TextCell(const QRect& box, int qtFlags, const QString& text) const;
    const ShapedText& Shape(std::string_view text);

    QPainter& painter_;
    QFont baseFont_;
    PenDesc pen_;
    QPen qpen_;
    FontDesc font_;
    QFont qfont_;
    QFontMetrics metrics_;
    QRawFont rawFont_;
    std::unordered_map<std::string, ShapedText> shaped_;  // for the current font
    ColorRef textColor_ = 0x000000;
    ColorRef bkColor_ = 0xFFFFFF;
    BackgroundMode mode_ = Opaque;
    QPointF position_;
    QVector<QPointF> points_;
};

} // namespace quel
