#include "support/recording_surface.h"

#include <algorithm>
#include <utility>

namespace quel {

RecordingSurface::RecordingSurface(int charWidth, int lineHeight) : charWidth_(charWidth), lineHeight_(lineHeight) {}

std::vector<std::string> RecordingSurface::WrapLines(std::string_view text, int widthLimit) const
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\n', start);
        const std::string_view paragraph = text.substr(start, end == std::string_view::npos ? end : end - start);
        std::string line;
        std::size_t pos = 0;
        while (pos < paragraph.size()) {
            const std::size_t blank = paragraph.find(' ', pos);
            const std::string_view word = paragraph.substr(pos, blank == std::string_view::npos ? blank : blank - pos);
            const std::string candidate = line.empty() ? std::string(word) : line + " " + std::string(word);
            if (!line.empty() && static_cast<long long>(candidate.size()) * charWidth_ > widthLimit) {
                lines.push_back(line);
                line = std::string(word);
            } else {
                line = candidate;
            }
            if (blank == std::string_view::npos)
                break;
            pos = blank + 1;
        }
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return lines;
}

Size RecordingSurface::TextSize(std::string_view text, unsigned flags, int widthLimit) const
{
    if ((flags & TextWordBreak) == 0)
        return Size {static_cast<int>(text.size()) * charWidth_, lineHeight_};
    const auto lines = WrapLines(text, widthLimit);
    std::size_t longest = 0;
    for (const auto& line : lines)
        longest = std::max(longest, line.size());
    return Size {static_cast<int>(longest) * charWidth_, static_cast<int>(lines.size()) * lineHeight_};
}

void RecordingSurface::Record(CallKind kind, std::vector<int> args, std::string text)
{
    calls_.push_back(SurfaceCall {kind, std::move(args), std::move(text), {}});
}

PenDesc RecordingSurface::SelectPen(const PenDesc& pen)
{
    Record(CallKind::SelectPen, {pen.style, pen.width, pen.color});
    return std::exchange(pen_, pen);
}

FontDesc RecordingSurface::SelectFont(const FontDesc& font)
{
    Record(CallKind::SelectFont, {font.height, font.weight}, font.face);
    return std::exchange(font_, font);
}

ColorRef RecordingSurface::SetTextColor(ColorRef color)
{
    Record(CallKind::SetTextColor, {color});
    return std::exchange(textColor_, color);
}

ColorRef RecordingSurface::SetBkColor(ColorRef color)
{
    Record(CallKind::SetBkColor, {color});
    return std::exchange(bkColor_, color);
}

void RecordingSurface::MoveTo(int x, int y)
{
    Record(CallKind::MoveTo, {x, y});
    position_ = Point {x, y};
}

void RecordingSurface::LineTo(int x, int y)
{
    Record(CallKind::LineTo, {x, y});
    lines_.push_back(DrawnLine {position_, Point {x, y}, pen_});
    position_ = Point {x, y};
}

void RecordingSurface::Polyline(const Point* points, int count)
{
    std::vector<Point> copy(points, points + std::max(count, 0));
    calls_.push_back(SurfaceCall {CallKind::Polyline, {count}, {}, copy});
    if (count >= 2)
        polylines_.push_back(DrawnPolyline {std::move(copy), pen_});
}

void RecordingSurface::Arc(int left, int top, int right, int bottom)
{
    Record(CallKind::Arc, {left, top, right, bottom});
    arcs_.push_back(DrawnArc {Rect {left, top, right, bottom}, pen_});
}

Size RecordingSurface::MeasureText(std::string_view text, unsigned flags, int widthLimit)
{
    Record(CallKind::MeasureText, {static_cast<int>(flags), widthLimit}, std::string(text));
    return TextSize(text, flags, widthLimit);
}

void RecordingSurface::DrawText(std::string_view text, const Rect& rect, unsigned flags)
{
    Record(CallKind::DrawText, {rect.left, rect.top, rect.right, rect.bottom, static_cast<int>(flags)}, std::string(text));
    texts_.push_back(DrawnText {std::string(text), rect, flags, textColor_, bkColor_, font_});
}

std::size_t RecordingSurface::Count(CallKind kind) const
{
    return static_cast<std::size_t>(
        std::count_if(calls_.begin(), calls_.end(), [kind](const SurfaceCall& call) { return call.kind == kind; }));
}

std::vector<CallKind> RecordingSurface::DrawingOrder() const
{
    std::vector<CallKind> order;
    for (const auto& call : calls_) {
        if (call.kind == CallKind::LineTo || call.kind == CallKind::Polyline || call.kind == CallKind::Arc
            || call.kind == CallKind::DrawText)
            order.push_back(call.kind);
    }
    return order;
}

std::optional<DrawnText> RecordingSurface::FindText(std::string_view text) const
{
    for (const auto& drawn : texts_) {
        if (drawn.text == text)
            return drawn;
    }
    return std::nullopt;
}

std::vector<int> RecordingSurface::ArcRadii() const
{
    std::vector<int> radii;
    for (const auto& arc : arcs_)
        radii.push_back(arc.Radius());
    return radii;
}

void RecordingSurface::Clear()
{
    calls_.clear();
    lines_.clear();
    arcs_.clear();
    polylines_.clear();
    texts_.clear();
}

} // namespace quel
