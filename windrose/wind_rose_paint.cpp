// Painting the wind rose onto a Surface: layout and spokes with their labels and value texts,
// grid circles, the critical circle, then the series polylines.

#include "windrose/number_text.h"
#include "windrose/wind_rose.h"
#include "windrose/wind_rose_state.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>
#include <numbers>
#include <optional>

namespace quel {

namespace {

// Device arithmetic is done in 64 bits and saturated to int where it reaches the surface.
using Coord = long long;

int ToInt(Coord value) { return static_cast<int>(std::clamp<Coord>(value, INT_MIN, INT_MAX)); }

// Rounds half away from zero. A value that is not finite or lies beyond the int range counts
// as 0: such a radius or coordinate never reaches an int conversion.
Coord RoundOrZero(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double rounded = std::round(value);
    if (rounded < static_cast<double>(INT_MIN) || rounded > static_cast<double>(INT_MAX))
        return 0;
    return static_cast<Coord>(rounded);
}

// Rounds half away from zero, saturating at the int range (a bound that constrains nothing).
Coord RoundSaturated(double value)
{
    if (std::isnan(value))
        return 0;
    const double rounded = std::round(value);
    if (rounded <= static_cast<double>(INT_MIN))
        return INT_MIN;
    if (rounded >= static_cast<double>(INT_MAX))
        return INT_MAX;
    return static_cast<Coord>(rounded);
}

// Selects a pen or font for a scope and selects the previous one again when restored.
template <class Desc, Desc (Surface::*Select)(const Desc&)>
class Selection {
public:
    Selection(Surface& surface, const std::optional<Desc>& desc) : surface_(surface)
    {
        if (desc)
            previous_ = (surface_.*Select)(*desc);
    }
    ~Selection() { Restore(); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    void Restore()
    {
        if (previous_)
            (surface_.*Select)(*previous_);
        previous_.reset();
    }

private:
    Surface& surface_;
    std::optional<Desc> previous_;
};

using PenSelection = Selection<PenDesc, &Surface::SelectPen>;

// Sets the text and background colours that are not -1, and restores them.
class ColorSelection {
public:
    ColorSelection(Surface& surface, ColorRef text, ColorRef background) : surface_(surface)
    {
        if (text != NoColor)
            text_ = surface_.SetTextColor(text);
        if (background != NoColor)
            background_ = surface_.SetBkColor(background);
    }
    ~ColorSelection() { Restore(); }
    ColorSelection(const ColorSelection&) = delete;
    ColorSelection& operator=(const ColorSelection&) = delete;
    void Restore()
    {
        if (text_)
            surface_.SetTextColor(*text_);
        if (background_)
            surface_.SetBkColor(*background_);
        text_.reset();
        background_.reset();
    }

private:
    Surface& surface_;
    std::optional<ColorRef> text_;
    std::optional<ColorRef> background_;
};

class WindRosePainter {
public:
    WindRosePainter(WindRoseState& state, Surface& surface, const Rect& rect)
        : s_(state), surface_(surface), rect_(rect), n_(state.axisCount)
    {
    }
    ~WindRosePainter() { RestoreFont(); }
    WindRosePainter(const WindRosePainter&) = delete;
    WindRosePainter& operator=(const WindRosePainter&) = delete;

    void Paint()
    {
        Frame();
        SpokesAndTexts();
        GridCircles();
        CriticalCircle();
        Polylines();
        s_.centerX = ToInt(cx_);
        s_.centerY = ToInt(cy_);
        s_.radius = ToInt(R_);
    }

private:
    bool ShowLabels() const { return s_.ShowNames != 0 || s_.ShowNumbers != 0; }
    bool ShowValues() const { return s_.ShowValues != 0; }
    WindRoseAxis& Axis(int i) { return s_.axes[static_cast<std::size_t>(i)]; }
    WindRoseSeries& Series(int j) { return s_.series[static_cast<std::size_t>(j)]; }
    double Sin(int i) const { return std::sin(i * step_); }
    double Cos(int i) const { return std::cos(i * step_); }
    Coord Dx(int i) const { return RoundOrZero(static_cast<double>(R_) * Sin(i)); }
    Coord Dy(int i) const { return RoundOrZero(static_cast<double>(R_) * Cos(i)); }
    Size Measure(std::string_view text) { return surface_.MeasureText(text, TextLeft); }

    void Frame()
    {
        const Coord halfW = RoundSaturated((static_cast<double>(rect_.right) - rect_.left) / 2.0);
        const Coord halfH = RoundSaturated((static_cast<double>(rect_.bottom) - rect_.top) / 2.0);
        R_ = std::min(halfW, halfH);
        cx_ = rect_.left + halfW;
        cy_ = rect_.top + halfH;
        step_ = n_ > 0 ? 2.0 * std::numbers::pi / n_ : 0.0;
        if (ShowLabels() || ShowValues())
            Layout();
        if ((!ShowLabels() && !ShowValues()) || n_ == 0)
            R_ -= 4;  // a margin where no texts need room
        R_ = std::max<Coord>(R_, 0);
    }

    // Shrinks R so that every label and value row stays beside its spoke end, inside the
    // rectangle horizontally.
    void Layout()
    {
        if (s_.font) {
            previousFont_ = surface_.SelectFont(*s_.font);
            fontSelected_ = true;
        }
        pad_ = Measure("  ").cx;
        Coord W = 0;
        Coord minR = R_;
        Coord r = R_;
        Coord labelHeight = 0;
        Coord rowHeight = 0;
        for (int i = 0; i < n_; ++i) {
            const Coord dx = Dx(i);
            if (ShowLabels()) {
                ComposeLabel(i);
                const Size size = Measure(Axis(i).label);
                W = size.cx + pad_;
                labelHeight = size.cy;
            }
            if (ShowValues()) {
                const Size row = MeasureValueRow(i);
                W = std::max<Coord>(W, row.cx);
                rowHeight = row.cy;
            }
            const double room = static_cast<double>(cx_ - rect_.left - W);
            if (dx > 0)
                r = RoundSaturated(room / Sin(i));
            else if (dx < 0)
                r = RoundSaturated(room / -Sin(i));
            minR = std::min(minR, r);
        }
        Coord R2 = R_;
        if (ShowLabels())
            R2 -= labelHeight;
        if (ShowValues())
            R2 -= rowHeight;
        R_ = std::max<Coord>(std::min(minR, R2), 0);
    }

    // Optional "%d: " prefix and the name, cut in front or at the end when it is too long.
    void ComposeLabel(int i)
    {
        WindRoseAxis& axis = Axis(i);
        std::string& label = axis.label;
        label.clear();
        if (s_.ShowNumbers != 0)
            label = FormatInt(i + 1) + ": ";
        const Coord p = static_cast<Coord>(label.size());
        if (s_.ShowNames == 0)
            return;
        static const std::string noName;
        const std::string& name = axis.Name ? *axis.Name : noName;
        const Coord total = p + static_cast<Coord>(name.size());
        if (s_.LabelTrunc == 0) {
            label += name;
            return;
        }
        const Coord width = static_cast<Coord>(rect_.right) - rect_.left;
        const Coord lim = std::min<Coord>(pad_ > 0 ? (width / pad_) / 4 : 0, 48);
        if (total <= lim + 3) {
            label += name;
        } else if (s_.LabelTrunc == 2) {
            label += "...";
            if (lim > p)
                label.append(name, name.size() - static_cast<std::size_t>(lim - p));
        } else if (s_.LabelTrunc == 1) {
            label.append(name, 0, static_cast<std::size_t>(std::max<Coord>(lim, 0)));
            label += "...";
        }
    }

    // " %d ", "%.2f " or "N/A " (series 0 with a leading blank).
    static std::string ValueText(const WindRoseValue& cell, int series)
    {
        std::string text = series == 0 ? " " : "";
        text += cell.state == NoData ? std::string("N/A") : FormatDiagramValue(cell.value);
        text += ' ';
        return text;
    }

    Size MeasureValueRow(int i)
    {
        Coord width = 0;
        int height = 0;
        for (int j = 0; j < s_.seriesCount; ++j) {
            if (Series(j).visible == 0)
                continue;
            const Size size = Measure(ValueText(Series(j).values[static_cast<std::size_t>(i)], j));
            width += size.cx;
            height = size.cy;
        }
        return Size {ToInt(width), height};
    }

    void DrawValueRow(int i, Coord left, Coord top)
    {
        Coord x = left;
        for (int j = 0; j < s_.seriesCount; ++j) {
            const WindRoseSeries& series = Series(j);
            if (series.visible == 0)
                continue;
            const std::string text = ValueText(series.values[static_cast<std::size_t>(i)], j);
            const Size size = Measure(text);
            ColorSelection colors(surface_, series.textColor, series.bkColor);
            surface_.DrawText(text, Rect {ToInt(x), ToInt(top), ToInt(x + size.cx), ToInt(top + size.cy)}, TextLeft);
            x += size.cx;
        }
    }

    double ValueRadius(const WindRoseAxis& axis, double v) const
    {
        const double R = static_cast<double>(R_);
        const int B = s_.CriticalBorder;
        const double max = axis.MaxValue;
        const double crit = axis.CriticalValue;
        double r;
        if (B == 0) {
            const double D = max == 0.0 ? 1.0 : max;
            r = R * v / D;
        } else if (v > crit) {
            const double D = max <= crit ? 1.0 : max - crit;
            r = R * (B * 0.01 + (100.0 - B) * 0.01 * (v - crit) / D);
        } else {
            const double D = crit == 0.0 ? 1.0 : crit;
            r = R * 0.01 * B * v / D;
        }
        return r > R ? R : r;
    }

    void SpokesAndTexts()
    {
        PenSelection axisPen(surface_, s_.axisPen);
        ColorSelection colors(surface_, s_.textColor, s_.bkColor);
        for (int i = 0; i < n_; ++i) {
            const WindRoseAxis& axis = Axis(i);
            const Coord dx = Dx(i);
            const Coord dy = Dy(i);
            const Coord ex = cx_ + dx;
            const Coord ey = cy_ - dy;
            {
                PenSelection ownPen(surface_, axis.pen);
                surface_.MoveTo(ToInt(cx_), ToInt(cy_));
                surface_.LineTo(ToInt(ex), ToInt(ey));
            }
            for (int j = 0; j < s_.seriesCount; ++j) {
                WindRoseSeries& series = Series(j);
                const double r = ValueRadius(axis, series.values[static_cast<std::size_t>(i)].value);
                series.points[static_cast<std::size_t>(i)] =
                    Point {ToInt(RoundOrZero(r * Sin(i)) + cx_), ToInt(cy_ - RoundOrZero(r * Cos(i)))};
            }
            Coord labelTop = ey;
            Coord labelBottom = ey;
            if (ShowLabels()) {
                const Size size = Measure(axis.label);
                const Coord w = size.cx + pad_;
                const Coord h = size.cy;
                const Coord left = dx > 0 ? ex : dx < 0 ? ex - w : ex - w / 2;
                const Coord right = dx > 0 ? ex + w : dx < 0 ? ex : ex + w / 2;
                if (dy < 0) {
                    labelTop = ey;
                    labelBottom = ey + h;
                } else if (dy > 0) {
                    labelBottom = ey;
                    labelTop = ey - h;
                } else {
                    labelBottom = ShowValues() ? ey : ey + h / 2;
                    labelTop = labelBottom - h;
                }
                surface_.DrawText(axis.label, Rect {ToInt(left), ToInt(labelTop), ToInt(right), ToInt(labelBottom)},
                                  TextCenter);
            }
            if (ShowValues()) {
                const Size row = MeasureValueRow(i);
                const Coord W2 = row.cx;
                const Coord H2 = row.cy;
                const Coord left = dx > 0 ? ex : dx < 0 ? ex - W2 : ex - W2 / 2;
                Coord top;
                if (dy < 0)
                    top = labelBottom;
                else if (dy > 0)
                    top = labelTop - H2;
                else
                    top = ShowLabels() ? labelBottom : ey - H2 / 2;
                DrawValueRow(i, left, top);
            }
        }
        ClosePolylines();
        RestoreFont();
        axisPen.Restore();
        colors.Restore();
    }

    void RestoreFont()
    {
        if (fontSelected_)
            surface_.SelectFont(previousFont_);
        fontSelected_ = false;
    }

    void ClosePolylines()
    {
        for (int j = 0; j < s_.seriesCount; ++j) {
            auto& points = Series(j).points;
            if (n_ > 1)
                points[static_cast<std::size_t>(n_)] = points[0];
            else if (n_ == 1)
                points[1] = Point {ToInt(cx_), ToInt(cy_)};
        }
    }

    void Circle(Coord d)
    {
        surface_.Arc(ToInt(cx_ - d), ToInt(cy_ - d), ToInt(cx_ + d), ToInt(cy_ + d));
    }

    void GridCircles()
    {
        const int step = s_.GridStep;
        if (step <= 0)
            return;  // no grid; a negative step read from a file draws none either
        PenSelection pen(surface_, s_.gridPen);
        for (Coord k = 1; k * step <= 100; ++k)
            Circle(RoundOrZero(static_cast<double>(R_ * k * step) / 100.0));
    }

    void CriticalCircle()
    {
        if (s_.CriticalBorder <= 0)
            return;  // none; a negative border read from a file is no circle either
        const Coord d = RoundOrZero(static_cast<double>(R_ * s_.CriticalBorder) / 100.0);
        PenSelection pen(surface_, s_.criticalPen);
        Circle(d);
    }

    void Polylines()
    {
        PenSelection defaultPen(surface_, s_.seriesPen);
        for (int j = 0; j < s_.seriesCount; ++j) {
            const WindRoseSeries& series = Series(j);
            if (series.visible == 0)
                continue;
            PenSelection ownPen(surface_, series.pen);
            if (n_ >= 1)
                surface_.Polyline(series.points.data(), n_ + 1);
        }
    }

    WindRoseState& s_;
    Surface& surface_;
    const Rect rect_;
    const int n_;
    double step_ = 0.0;
    Coord cx_ = 0;
    Coord cy_ = 0;
    Coord R_ = 0;
    Coord pad_ = 0;
    bool fontSelected_ = false;
    FontDesc previousFont_;  // the font to select again after the texts
};

} // namespace

int WindRose::Paint(Surface& surface, const Rect& rect)
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    State& s = *state_;
    s.surface = &surface;
    s.paintRect = rect;
    int result = 1;
    try {
        WindRosePainter(s, surface, rect).Paint();
    } catch (const std::exception&) {
        result = 0;  // only allocation can fail; pens, fonts and colours are restored
    }
    s.surface = nullptr;
    return result;
}

} // namespace quel
