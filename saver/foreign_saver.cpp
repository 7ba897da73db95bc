#include "saver/foreign_saver.h"

#include "saver/saver_frame.h"

#include <QPainter>

#include <utility>

namespace quel::saver {

ForeignSaver::ForeignSaver(std::unique_ptr<ForeignWindow> window, QSize size, CounterMonitor& monitor,
                           int areaSize, int timeout, RandomSource random)
    : window_(std::move(window)), monitor_(monitor),
      scene_(size.width(), size.height(), areaSize, timeout, std::move(random)),
      frame_(size, window_->FrameFormat())
{
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &ForeignSaver::OnTimer);
    timer_.start();
}

void ForeignSaver::Repaint()
{
    RepaintArea(frame_.rect());
}

void ForeignSaver::RepaintDiagram()
{
    RepaintArea(DiagramArea(scene_));
}

void ForeignSaver::RepaintArea(const QRect& area)
{
    const QRect part = area.intersected(frame_.rect());
    if (part.isEmpty())
        return;
    QPainter painter(&frame_);
    painter.setClipRect(part);
    PaintSaverFrame(painter, frame_.rect(), monitor_, scene_);
    painter.end();
    window_->Put(part == frame_.rect() ? frame_ : frame_.copy(part), part.topLeft());
}

void ForeignSaver::OnTimer()
{
    const std::optional<QSize> size = window_->CurrentSize();
    if (!size) {
        timer_.stop();
        emit Finished();
        return;
    }
    if (*size != frame_.size()) {
        frame_ = QImage(*size, window_->FrameFormat());
        scene_.Resize(size->width(), size->height());
        Repaint();
        return;
    }
    const QRect before = DiagramArea(scene_);
    if (scene_.Tick())
        RepaintArea(before.united(DiagramArea(scene_)));
}

} // namespace quel::saver
