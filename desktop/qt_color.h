#pragma once
// Colour references (0x00BBGGRR) and QColor.

#include "windrose/wind_rose_types.h"

#include <QColor>

namespace quel::desktop {

inline QColor ToQColor(ColorRef color)
{
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

inline ColorRef ToColorRef(const QColor& color)
{
    return MakeRgb(color.red(), color.green(), color.blue());
}

} // namespace quel::desktop
