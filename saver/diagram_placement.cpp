#include "saver/diagram_placement.h"

#include <algorithm>
#include <cmath>

namespace quel::saver {

DiagramPlacement PlaceDiagram(int width, int height, int areaSize)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    const double k = std::sqrt(std::clamp(areaSize, 1, 100) / 100.0);
    const int w = static_cast<int>(width * k) - 1;
    const int h = static_cast<int>(height * k) - 1;
    DiagramPlacement placement;
    placement.side = std::max(std::min(w, h), 0);
    placement.rangeX = width - placement.side;
    placement.rangeY = height - placement.side;
    const int left = placement.rangeX / 2;
    const int top = placement.rangeY / 2;
    placement.rect = Rect {left, top, left + placement.side, top + placement.side};
    placement.compact = width < CompactWidth;
    return placement;
}

void MoveDiagram(DiagramPlacement& placement, const RandomSource& random)
{
    const auto pick = [&random](int range) {
        const unsigned value = random();
        return range > 0 ? static_cast<int>(value % static_cast<unsigned>(range)) : 0;
    };
    const int top = pick(placement.rangeY);
    const int left = pick(placement.rangeX);
    placement.rect = Rect {left, top, left + placement.side, top + placement.side};
}

} // namespace quel::saver
