#pragma once
// Where the screen saver draws its square: its side from the share of the area, the range it
// may move in, the centred first place, and the random places that follow.

#include "windrose/wind_rose_types.h"

#include <functional>

namespace quel::saver {

// Below this client width (a preview) the diagram is drawn without names and value texts.
inline constexpr int CompactWidth = 400;

// The next number of a pseudo-random sequence.
using RandomSource = std::function<unsigned()>;

struct DiagramPlacement {
    Rect rect;           // where the diagram is drawn now
    int side = 0;        // side of the square in pixels
    int rangeX = 0;      // client width minus the side: left edges 0 .. rangeX - 1
    int rangeY = 0;      // client height minus the side
    bool compact = false;
};

// The square for a client area of width x height taking areaSize percent of it, centred. An
// areaSize outside 1..100 is taken as the nearest of them, so the square always fits.
DiagramPlacement PlaceDiagram(int width, int height, int areaSize);

// A new random place of the square, wholly inside the client area: the top from the first
// number, the left from the second.
void MoveDiagram(DiagramPlacement& placement, const RandomSource& random);

} // namespace quel::saver
