#pragma once
// One frame of a saver window: the black background and, while the scene shows it, the
// monitor's diagram (or status text) in the scene's square. Shared by the full-screen windows
// and the drawing into a foreign window.

#include "engine/counter_monitor.h"
#include "saver/saver_scene.h"

class QPainter;
class QRect;

namespace quel::saver {

void PaintSaverFrame(QPainter& painter, const QRect& client, CounterMonitor& monitor, const SaverScene& scene);

// The part of the window the diagram may paint: its square with a small margin. A new sample
// only repaints this; a move repaints the old and the new square.
QRect DiagramArea(const SaverScene& scene);

} // namespace quel::saver
