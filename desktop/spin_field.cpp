#include "desktop/spin_field.h"

#include "desktop/field_exchange.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <algorithm>

namespace quel::desktop {

namespace {

constexpr qint64 AccelerateAfterMs = 1000;
constexpr int SlowStep = 1;
constexpr int FastStep = 10;
constexpr int MaxDigits = 9;

} // namespace

int SpinStep(qint64 heldMs)
{
    return heldMs >= AccelerateAfterMs ? FastStep : SlowStep;
}

CSpinField::CSpinField(QWidget* parent) : QAbstractSpinBox(parent)
{
    setAccelerated(false);  // the steps are our own
    lineEdit()->setMaxLength(MaxDigits);
    connect(lineEdit(), &QLineEdit::textChanged, this, &CSpinField::TextChanged);
    held_.start();
}

void CSpinField::SetRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
}

void CSpinField::SetPosition(int position)
{
    lineEdit()->setText(QString::number(std::clamp(position, minimum_, maximum_)));
}

bool CSpinField::Read(int& value) const
{
    return ReadInteger(text().toStdString(), minimum_, maximum_, value) == IntegerField::Ok;
}

int CSpinField::Position() const
{
    int value = 0;
    if (Read(value))
        return value;
    double number = 0.0;
    const bool above = ReadNumber(text().toStdString(), number) && number > maximum_;
    return ErrorFlag | (above ? maximum_ : minimum_);
}

void CSpinField::stepBy(int steps)
{
    int value = 0;
    if (!Read(value))
        value = Position() & ~ErrorFlag;
    const long long next = static_cast<long long>(value) + static_cast<long long>(steps) * SpinStep(held_.elapsed());
    SetPosition(static_cast<int>(std::clamp<long long>(next, minimum_, maximum_)));
    lineEdit()->selectAll();
}

QSize CSpinField::sizeHint() const
{
    ensurePolished();
    const QString widest = QString::number(maximum_) + QLatin1Char('0');
    const QSize text(fontMetrics().horizontalAdvance(widest) + 4, lineEdit()->sizeHint().height());
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, text, this);
}

QSize CSpinField::minimumSizeHint() const
{
    return sizeHint();
}

QValidator::State CSpinField::validate(QString& input, int&) const
{
    for (const QChar c : input) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return QValidator::Invalid;
    }
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled CSpinField::stepEnabled() const
{
    int value = 0;
    if (!Read(value))
        return StepUpEnabled | StepDownEnabled;
    StepEnabled enabled = StepNone;
    if (value < maximum_)
        enabled |= StepUpEnabled;
    if (value > minimum_)
        enabled |= StepDownEnabled;
    return enabled;
}

void CSpinField::keyPressEvent(QKeyEvent* event)
{
    if (!event->isAutoRepeat())
        held_.restart();
    QAbstractSpinBox::keyPressEvent(event);
}

void CSpinField::mousePressEvent(QMouseEvent* event)
{
    held_.restart();
    QAbstractSpinBox::mousePressEvent(event);
}

void CSpinField::wheelEvent(QWheelEvent* event)
{
    held_.restart();
    QAbstractSpinBox::wheelEvent(event);
}

} // namespace quel::desktop
