#include "desktop/history_bar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionSlider>

namespace quel::desktop {

namespace {

constexpr const char* BackToLiveText = "Back to Live";
constexpr int SectionMarkWidth = 2;

} // namespace

HistorySlider::HistorySlider(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setSingleStep(1);
    setPageStep(10);
}

void HistorySlider::SetSectionStarts(std::vector<int> rows)
{
    sectionStarts_ = std::move(rows);
    update();
}

// A section start is a mark across the groove where its row lies, so that the gap in time
// between two sections shows.
void HistorySlider::paintEvent(QPaintEvent* event)
{
    QSlider::paintEvent(event);
    if (sectionStarts_.empty() || maximum() <= minimum())
        return;
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = groove.width() - handle.width();
    QPainter painter(this);
    for (const int row : sectionStarts_) {
        const int x = groove.left() + handle.width() / 2 +
                      QStyle::sliderPositionFromValue(minimum(), maximum(), row, span, option.upsideDown);
        painter.fillRect(x - SectionMarkWidth / 2, 0, SectionMarkWidth, height(), QColor(200, 40, 40));
    }
}

void HistorySlider::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        emit EscapePressed();
        return;
    }
    QSlider::keyPressEvent(event);
}

HistoryBar::HistoryBar(QWidget* parent)
    : QWidget(parent), slider_(new HistorySlider(this)), time_(new QLabel(this)),
      back_(new QPushButton(QString::fromLatin1(BackToLiveText), this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(slider_, 1);
    layout->addWidget(time_);
    layout->addWidget(back_);
    back_->setFocusPolicy(Qt::NoFocus);
    connect(slider_, &QSlider::valueChanged, this, &HistoryBar::RowChosen);
    connect(slider_, &HistorySlider::EscapePressed, this, &HistoryBar::BackToLive);
    connect(back_, &QPushButton::clicked, this, &HistoryBar::BackToLive);
}

void HistoryBar::Reset(int rows, std::vector<int> sectionStarts, int row)
{
    const QSignalBlocker blocker(slider_);
    slider_->setRange(0, std::max(0, rows - 1));
    slider_->setValue(row);
    slider_->SetSectionStarts(std::move(sectionStarts));
    slider_->setFocus();
}

void HistoryBar::SetTimeText(const QString& text)
{
    time_->setText(text);
}

} // namespace quel::desktop
