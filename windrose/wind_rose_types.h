#pragma once
// Plain types shared by the wind rose model, its configuration block and its surfaces.

#include <cstdint>
#include <string>

namespace quel {

enum WindRoseError : int {
    Ok = 0,
    BadIndex = 1,
    NoMemory = 2,
    TableFull = 3,
    BadRange = 4,
    NullArgument = 5,
    BadPercent = 6,
    PenFailed = 7,
    FontFailed = 8,
};

enum WindRoseValueState : int {
    Normal = 0,
    Critical = 1,
    NoData = 2,
};

// A colour reference laid out 0x00BBGGRR (red in the low byte); -1 means "no colour set".
using ColorRef = std::int32_t;
constexpr ColorRef NoColor = -1;

constexpr ColorRef MakeRgb(int r, int g, int b)
{
    return static_cast<ColorRef>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(ColorRef c) { return c & 0xFF; }
constexpr int GreenOf(ColorRef c) { return (c >> 8) & 0xFF; }
constexpr int BlueOf(ColorRef c) { return (c >> 16) & 0xFF; }

// Pen styles as the drawing back end numbers them; the program only uses PenSolid.
enum PenStyle : int {
    PenSolid = 0,
    PenDash = 1,
    PenDot = 2,
    PenDashDot = 3,
    PenDashDotDot = 4,
    PenNull = 5,
    PenInsideFrame = 6,
};

// A pen as the model stores it; a surface realises it when it is selected.
struct PenDesc {
    int style = PenSolid;
    int width = 1;
    ColorRef color = 0;
    friend bool operator==(const PenDesc&, const PenDesc&) = default;
};

// A logical font description (the attributes of a back end's logical font).
struct FontDesc {
    std::string face;        // at most 31 characters
    int height = 0;          // character height in device units (0: the surface's default)
    int width = 0;
    int escapement = 0;
    int orientation = 0;
    int weight = 0;          // 0 default, 400 normal, 700 bold
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int charSet = 0;
    friend bool operator==(const FontDesc&, const FontDesc&) = default;
};

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

} // namespace quel
