#pragma once
// GPU Engine and GPU Adapter Memory: the graphics cards of /sys/class/drm, read from amdgpu's
// sysfs files or, for NVIDIA cards, through NVML.

#include "platform/object_family.h"

namespace quel {

const ObjectFamily& GpuEngineFamily();
const ObjectFamily& GpuAdapterMemoryFamily();

} // namespace quel
