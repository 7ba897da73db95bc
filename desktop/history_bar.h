#pragma once
// The bar under the diagram while a log is shown as history: a slider over the log's rows
// (Left/Right step a row, Home/End go to the ends) with a mark where each later section starts,
// the time of the row shown, and "Back to Live" (also Esc).

#include <QSlider>
#include <QWidget>

#include <vector>

class QLabel;
class QPushButton;

namespace quel::desktop {

// A slider that marks the section starts on its groove.
class HistorySlider final : public QSlider {
    Q_OBJECT

public:
    explicit HistorySlider(QWidget* parent);
    // The rows where a section starts after the first one.
    void SetSectionStarts(std::vector<int> rows);
    const std::vector<int>& SectionStarts() const { return sectionStarts_; }

signals:
    void EscapePressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::vector<int> sectionStarts_;
};

class HistoryBar final : public QWidget {
    Q_OBJECT

public:
    explicit HistoryBar(QWidget* parent);

    // A log of rows rows, shown at row; the slider takes the keyboard focus.
    void Reset(int rows, std::vector<int> sectionStarts, int row);
    void SetTimeText(const QString& text);
    HistorySlider& Slider() const { return *slider_; }
    QPushButton& BackButton() const { return *back_; }
    QLabel& TimeLabel() const { return *time_; }

signals:
    void RowChosen(int row);
    void BackToLive();

private:
    HistorySlider* slider_;
    QLabel* time_;
    QPushButton* back_;
};

} // namespace quel::desktop
