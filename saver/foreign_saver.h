#pragma once
// ForeignSaver: the saver drawn into a window of another program. Each second it looks at the
// window: when it has gone the saver is finished, when its size changed the square is placed
// afresh. Frames are painted into an image of the window's size and put into the window.

#include "engine/counter_monitor.h"
#include "saver/foreign_window.h"
#include "saver/saver_scene.h"

#include <QImage>
#include <QObject>
#include <QTimer>

#include <memory>

namespace quel::saver {

class ForeignSaver final : public QObject {
    Q_OBJECT

public:
    ForeignSaver(std::unique_ptr<ForeignWindow> window, QSize size, CounterMonitor& monitor, int areaSize,
                 int timeout, RandomSource random);

    const SaverScene& Scene() const { return scene_; }
    // Paints the whole frame and puts it into the window.
    void Repaint();
    // A new sample: only the square is painted and put.
    void RepaintDiagram();

signals:
    // The window has gone.
    void Finished();

private:
    void OnTimer();
    void RepaintArea(const QRect& area);

    std::unique_ptr<ForeignWindow> window_;
    CounterMonitor& monitor_;
    SaverScene scene_;
    QImage frame_;
    QTimer timer_;
};

} // namespace quel::saver
