#pragma once
// Process: one instance per process name (the kernel's comm) summing every process of that name,
// and _Total, from the ProcessTable (/proc/PID/stat, status, io and fd).

#include "platform/object_family.h"

namespace quel {

const ObjectFamily& ProcessFamily();

} // namespace quel
