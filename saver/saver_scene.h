#pragma once
// What one saver window shows from second to second: the square in its place, and before each
// move one blank second. The window's one-second timer calls Tick; the first place is held for
// Timeout + 1 seconds, every later one for Timeout seconds.

#include "saver/diagram_placement.h"

namespace quel::saver {

class SaverScene {
public:
    // timeout: seconds between moves; below 1 it is taken as 1, so the square is never blank
    // for good.
    SaverScene(int width, int height, int areaSize, int timeout, RandomSource random);

    // One second has passed; true when the window must be repainted (erased).
    bool Tick();
    // A new client size: the square is placed afresh, centred.
    void Resize(int width, int height);

    bool DiagramVisible() const { return visible_; }
    const DiagramPlacement& Placement() const { return placement_; }
    const Rect& DiagramRect() const { return placement_.rect; }

private:
    int areaSize_;
    int timeout_;
    RandomSource random_;
    DiagramPlacement placement_;
    int tickCount_ = 0;
    bool visible_ = true;
};

// The pseudo-random numbers of the saver, seeded with the current time in seconds.
RandomSource TimeSeededRandom();

} // namespace quel::saver
