#include "gui/qt_color.h"

namespace quel {

QColor ToQColor(ColorRef color)
{
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

ColorRef ToColorRef(const QColor& color)
{
    return MakeRgb(color.red(), color.green(), color.blue());
}

} // namespace quel
