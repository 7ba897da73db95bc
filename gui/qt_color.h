#pragma once
// Colour references (0x00BBGGRR, red in the low byte) and QColor.

#include "windrose/wind_rose_types.h"

#include <QColor>

namespace quel {

QColor ToQColor(ColorRef color);
ColorRef ToColorRef(const QColor& color);

} // namespace quel
