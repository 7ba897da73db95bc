#pragma once
// SaverWindow: the full-screen saver on one screen. It shows the moving square of the shared
// monitor, hides the pointer, and asks to end on a key, a click or a mouse movement beyond a
// few pixels.

#include "engine/counter_monitor.h"
#include "saver/saver_scene.h"

#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <optional>

namespace quel::saver {

// How far the pointer may move (in pixels, each way) before the saver ends.
inline constexpr int MovementSlack = 5;

class SaverWindow final : public QWidget {
    Q_OBJECT

public:
    SaverWindow(CounterMonitor& monitor, int areaSize, int timeout, RandomSource random);

    const SaverScene& Scene() const { return scene_; }
    // The timer's step, for tests.
    void OnTimer();
    // A new sample: the square is painted again.
    void RepaintDiagram();

signals:
    // The user touched the keyboard or the mouse.
    void InputSeen();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    CounterMonitor& monitor_;
    SaverScene scene_;
    QTimer timer_;
    // Where the pointer was at the start; Wayland tells no pointer position before the first
    // movement over the window, which then gives it.
    std::optional<QPoint> startPointer_;
};

} // namespace quel::saver
