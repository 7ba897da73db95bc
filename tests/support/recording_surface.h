#pragma once
// A Surface for tests: records every call with its arguments and the drawing state in force,
// and measures text with fixed metrics (a width per character and a line height), so layouts
// are exact and predictable.

#include "windrose/surface.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quel {

enum class CallKind {
    SelectPen,
    SelectFont,
    SetTextColor,
    SetBkColor,
    MoveTo,
    LineTo,
    Polyline,
    Arc,
    MeasureText,
    DrawText,
};

// One call. args: SelectPen style, width, colour; SelectFont height, weight; the colour of
// SetTextColor / SetBkColor; MoveTo / LineTo x, y; Arc left, top, right, bottom; MeasureText
// flags, width limit; DrawText left, top, right, bottom, flags.
struct SurfaceCall {
    CallKind kind;
    std::vector<int> args;
    std::string text;           // MeasureText, DrawText; the face of SelectFont
    std::vector<Point> points;  // Polyline
};

struct DrawnLine {
    Point from;
    Point to;
    PenDesc pen;
};

struct DrawnArc {
    Rect box;
    PenDesc pen;
    Point Center() const { return {(box.left + box.right) / 2, (box.top + box.bottom) / 2}; }
    int Radius() const { return (box.right - box.left) / 2; }
};

struct DrawnPolyline {
    std::vector<Point> points;
    PenDesc pen;
};

struct DrawnText {
    std::string text;
    Rect rect;
    unsigned flags = 0;
    ColorRef textColor = 0;
    ColorRef bkColor = 0;
    FontDesc font;
};

class RecordingSurface : public Surface {
public:
    static constexpr ColorRef InitialTextColor = 0x000000;
    static constexpr ColorRef InitialBkColor = 0xFFFFFF;

    explicit RecordingSurface(int charWidth = 8, int lineHeight = 16);

    void SetCharWidth(int width) { charWidth_ = width; }
    void SetLineHeight(int height) { lineHeight_ = height; }
    int CharWidth() const { return charWidth_; }
    int LineHeight() const { return lineHeight_; }

    // Size of a text under the fixed metrics (what MeasureText answers, without recording).
    Size TextSize(std::string_view text, unsigned flags = TextLeft, int widthLimit = 0) const;
    // The lines a text is wrapped into with TextWordBreak at widthLimit.
    std::vector<std::string> WrapLines(std::string_view text, int widthLimit) const;

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

    // --- queries ------------------------------------------------------------------------------
    const std::vector<SurfaceCall>& Calls() const { return calls_; }
    std::size_t Count(CallKind kind) const;
    // Drawing calls only (no selection, colour or measuring calls), in order.
    std::vector<CallKind> DrawingOrder() const;
    const std::vector<DrawnLine>& Lines() const { return lines_; }
    const std::vector<DrawnArc>& Arcs() const { return arcs_; }
    const std::vector<DrawnPolyline>& Polylines() const { return polylines_; }
    const std::vector<DrawnText>& Texts() const { return texts_; }
    std::optional<DrawnText> FindText(std::string_view text) const;
    std::vector<int> ArcRadii() const;

    PenDesc CurrentPen() const { return pen_; }
    FontDesc CurrentFont() const { return font_; }
    ColorRef CurrentTextColor() const { return textColor_; }
    ColorRef CurrentBkColor() const { return bkColor_; }

    // Forgets the recorded calls; the current state stays.
    void Clear();

private:
    void Record(CallKind kind, std::vector<int> args, std::string text = {});

    int charWidth_;
    int lineHeight_;
    PenDesc pen_;
    FontDesc font_;
    ColorRef textColor_ = InitialTextColor;
    ColorRef bkColor_ = InitialBkColor;
    Point position_;
    std::vector<SurfaceCall> calls_;
    std::vector<DrawnLine> lines_;
    std::vector<DrawnArc> arcs_;
    std::vector<DrawnPolyline> polylines_;
    std::vector<DrawnText> texts_;
};

} // namespace quel
