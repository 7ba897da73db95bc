#pragma once
// Control Group: the groups of the cgroup v2 hierarchy (systemd services and slices, containers,
// user sessions) with their processor, memory, I/O and pressure counters, and "_Total" for the
// root where the kernel gives root values. Not available from another computer: the node
// exporter serves no control groups.

#include "platform/object_family.h"

namespace quel {

const ObjectFamily& ControlGroupFamily();

} // namespace quel
