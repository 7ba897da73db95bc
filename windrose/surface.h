#pragma once
// The 2-D drawing back end the wind rose paints on. Surfaces: RecordingSurface (tests),
// QPainterSurface (gui/: windows, PNG, SVG).

#include "windrose/wind_rose_types.h"

#include <string_view>

namespace quel {

// Text layout flags of MeasureText and DrawText.
enum TextFlags : unsigned {
    TextLeft = 0x00,       // left-aligned, top-aligned, one line
    TextCenter = 0x01,     // centred horizontally
    TextWordBreak = 0x10,  // wrapped at word boundaries within the rectangle's width
};

// Whether text cells get their background colour (the back end's background mode).
enum BackgroundMode : int {
    Transparent = 1,
    Opaque = 2,
};

class Surface {
public:
    virtual ~Surface() = default;

    // Make a pen or font current; returns the previous one, which the caller selects again.
    virtual PenDesc SelectPen(const PenDesc& pen) = 0;
    virtual FontDesc SelectFont(const FontDesc& font) = 0;

    // Colours for text and for the text cell background; return the previous colour.
    virtual ColorRef SetTextColor(ColorRef color) = 0;
    virtual ColorRef SetBkColor(ColorRef color) = 0;

    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    // Joins count points in order; fewer than two points draw nothing.
    virtual void Polyline(const Point* points, int count) = 0;
    // Outline of the circle (ellipse) inscribed in the box, not filled, current pen.
    virtual void Arc(int left, int top, int right, int bottom) = 0;

    // Size of the text in the current font as a rectangle from (0, 0). With TextWordBreak the
    // text is wrapped to widthLimit and the size is that of the wrapped block.
    virtual Size MeasureText(std::string_view text, unsigned flags = TextLeft, int widthLimit = 0) = 0;
    // Draws the text top-aligned in the rectangle with the current font and colours.
    virtual void DrawText(std::string_view text, const Rect& rect, unsigned flags) = 0;
};

} // namespace quel
