#pragma once
// CSpinField: a digits-only text field with up and down arrows (buttons, arrow keys, wheel)
// that step its number within a range, without thousands separators. Steps are 1, and 10 once
// an arrow has been held for a second. The field takes any digits as typed, so that a number
// outside the range reaches the dialog's own check.

#include <QAbstractSpinBox>
#include <QElapsedTimer>

namespace quel::desktop {

// The step of an arrow held for heldMs milliseconds.
int SpinStep(qint64 heldMs);

class CSpinField final : public QAbstractSpinBox {
    Q_OBJECT

public:
    // Set when the text is not a number within the range: the position then lies above 65535.
    static constexpr int ErrorFlag = 0x10000;

    explicit CSpinField(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    // Shows a number (clamped to the range).
    void SetPosition(int position);
    // The number shown, or ErrorFlag | the nearest number of the range when the text is no
    // number within it.
    int Position() const;

    void stepBy(int steps) override;
    // Room for the range's widest number and one more digit.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The text changed, typed or stepped.
    void TextChanged();

protected:
    QValidator::State validate(QString& input, int& position) const override;
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    bool Read(int& value) const;

    int minimum_ = 0;
    int maximum_ = 100;
    QElapsedTimer held_;  // since the arrow was pressed
};

} // namespace quel::desktop
