#pragma once
// NvmlLibrary: NVIDIA's management library (libnvidia-ml.so.1, installed by the driver), opened
// with dlopen when first needed and never linked, so that a machine without it runs as before.
// Only the few entry points the GPU counters use are resolved; the types are those of NVML's
// public C API.

#include "platform/loadable_module.h"

#include <cstdint>
#include <string>

namespace quel {

namespace nvml {
using Return = int;  // nvmlReturn_t; 0 is NVML_SUCCESS
constexpr Return Success = 0;
using Device = struct DeviceOpaque*;  // nvmlDevice_t
constexpr unsigned TemperatureGpu = 0;  // NVML_TEMPERATURE_GPU

struct Utilization {  // nvmlUtilization_t
    unsigned gpu;     // percent of time a kernel ran over the last sample period
    unsigned memory;  // percent of time device memory was read or written
};
struct Memory {  // nvmlMemory_t, bytes
    unsigned long long total;
    unsigned long long free;
    unsigned long long used;
};
struct PciInfo {  // nvmlPciInfo_t (v3)
    char busIdLegacy[16];
    unsigned domain;
    unsigned bus;
    unsigned device;
    unsigned pciDeviceId;
    unsigned pciSubSystemId;
    char busId[32];  // "00000000:01:00.0"
};
} // namespace nvml

// The library file dlopen looks for when neither an option nor $QUELLARIMOND_NVML_LIBRARY names
// another.
inline constexpr const char* NvmlLibraryName = "libnvidia-ml.so.1";

class NvmlLibrary {
public:
    NvmlLibrary() = default;
    ~NvmlLibrary();
    NvmlLibrary(const NvmlLibrary&) = delete;
    NvmlLibrary& operator=(const NvmlLibrary&) = delete;

    // Opens path (a file name alone is searched as dlopen does), resolves the entry points and
    // initialises NVML. On failure the library stays closed and error says why.
    bool Open(const std::string& path, std::string& error);
    bool IsOpen() const { return initialised_; }

    // Each returns NVML's status; values are set only on Success.
    nvml::Return DeviceCount(unsigned& count) const;
    nvml::Return DeviceByIndex(unsigned index, nvml::Device& device) const;
    nvml::Return PciInfo(nvml::Device device, nvml::PciInfo& info) const;
    nvml::Return MinorNumber(nvml::Device device, unsigned& minor) const;
    nvml::Return Utilization(nvml::Device device, nvml::Utilization& rates) const;
    nvml::Return Memory(nvml::Device device, nvml::Memory& memory) const;
    nvml::Return Temperature(nvml::Device device, unsigned& celsius) const;
    nvml::Return Power(nvml::Device device, unsigned& milliwatts) const;

private:
    struct EntryPoints {
        nvml::Return (*init)() = nullptr;
        nvml::Return (*shutdown)() = nullptr;
        nvml::Return (*count)(unsigned*) = nullptr;
        nvml::Return (*byIndex)(unsigned, nvml::Device*) = nullptr;
        nvml::Return (*pciInfo)(nvml::Device, nvml::PciInfo*) = nullptr;
        nvml::Return (*minor)(nvml::Device, unsigned*) = nullptr;
        nvml::Return (*utilization)(nvml::Device, nvml::Utilization*) = nullptr;
        nvml::Return (*memory)(nvml::Device, nvml::Memory*) = nullptr;
        nvml::Return (*temperature)(nvml::Device, unsigned, unsigned*) = nullptr;
        nvml::Return (*power)(nvml::Device, unsigned*) = nullptr;
    };
    bool Resolve(std::string& error);

    LoadableModule module_;
    EntryPoints calls_;
    bool initialised_ = false;
};

} // namespace quel
