#pragma once
// Thermal Zone Information, Fan and Power Meter: temperatures, fan speeds and power draw from
// the hardware sensors of sysfs (SensorSource).

#include "platform/object_family.h"

namespace quel {

const ObjectFamily& ThermalZoneFamily();
const ObjectFamily& FanFamily();
const ObjectFamily& PowerMeterFamily();

} // namespace quel
