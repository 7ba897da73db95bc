#include "desktop/static_link.h"

#include "desktop/page_opener.h"

#include <QMouseEvent>
#include <QUrl>

namespace quel::desktop {

CStaticLink::CStaticLink(const QString& text, const QString& address, Shell& shell, Prompt& prompt,
                         QWidget* parent)
    : QLabel(text, parent), address_(address), shell_(shell), prompt_(prompt)
{
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(palette);
    setAutoFillBackground(false);
    setCursor(Qt::PointingHandCursor);
}

QString CStaticLink::Target() const
{
    return address_.isEmpty() ? text() : address_;
}

void CStaticLink::Open()
{
    if (beforeOpen_)
        beforeOpen_();
    OpenAddress(shell_, prompt_, QUrl::fromUserInput(Target()));
}

void CStaticLink::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Open();
    QLabel::mouseReleaseEvent(event);
}

} // namespace quel::desktop
