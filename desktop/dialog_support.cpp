#include "desktop/dialog_support.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quel::desktop {

void CenterOnDesktop(QWidget& window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect place = window.frameGeometry();
        place.moveCenter(screen->geometry().center());
        window.move(place.topLeft());
    }
}

} // namespace quel::desktop
