#pragma once
// NvmlSource: NVIDIA GPUs read through NVML. The library is loaded only when the NVIDIA driver
// is present (/proc/driver/nvidia below the provider's procfs root) and a counter or an instance
// list asks for it; a library that is missing or fails to start is reported once and then makes
// every NVIDIA read fail with perf_status::NoLibrary. NVML calls can take milliseconds, so each
// is made at most once per collection and device, and only for the devices asked about.

#include "platform/nvml_library.h"
#include "platform/perf_data_source.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quel {

// A PCI address domain:bus:device.function: what ties an NVML device to its DRM card.
struct PciAddress {
    unsigned domain = 0;
    unsigned bus = 0;
    unsigned device = 0;
    unsigned function = 0;
    bool operator==(const PciAddress&) const = default;
};
// "0000:0a:00.0" (sysfs) or "00000000:0A:00.0" (NVML); false for anything else.
bool ParsePciAddress(std::string_view text, PciAddress& address);

// One NVIDIA GPU as other objects (thermal zones, power meters) list it.
struct NvmlDevice {
    std::string name;  // "nvidia0": its /dev/nvidiaN minor number
    std::optional<double> temperature;  // degrees Celsius of the GPU die
    std::optional<double> power;        // milliwatts drawn by the board
};

class NvmlSource {
public:
    using Notice = std::function<void(const std::string&)>;
    // libraryPath empty: $QUELLARIMOND_NVML_LIBRARY, else libnvidia-ml.so.1. notice empty: stderr.
    NvmlSource(std::string procRoot, std::string libraryPath, Notice notice);

    // Starts a collection: what NVML said in the previous one is forgotten.
    void Refresh(std::uint64_t collection);

    // The GPU's utilization in percent and its memory in bytes, for the device at address.
    PerfStatus Utilization(const PciAddress& address, double& percent);
    PerfStatus MemoryUsed(const PciAddress& address, double& bytes);
    PerfStatus MemoryTotal(const PciAddress& address, double& bytes);

    // Every NVIDIA GPU with its temperature and power, read once per collection; empty without
    // the driver or its library. A reader that lists them names sources::Nvml among its sources,
    // so that each collection asks NVML afresh.
    const std::vector<NvmlDevice>& Devices();

private:
    struct Entry {
        nvml::Device handle = nullptr;
        PciAddress address;
        unsigned minor = 0;
        bool hasMinor = false;
        // Per collection: whether each value was asked for, and what NVML answered.
        bool utilizationAsked = false;
        bool memoryAsked = false;
        nvml::Return utilizationStatus = 0;
        nvml::Return memoryStatus = 0;
        nvml::Utilization utilization{};
        nvml::Memory memory{};
    };
    // Loads the library and lists its devices once per collection; the status of the failure.
    PerfStatus Ready();
    void ListDevices(unsigned count);
    Entry* Find(const PciAddress& address);
    PerfStatus Memory(const PciAddress& address, Entry*& entry);

    std::string procRoot_;
    std::string libraryPath_;
    Notice notice_;
    NvmlLibrary library_;
    bool tried_ = false;
    std::uint64_t collection_ = 0;
    std::uint64_t listed_ = 0;  // the collection of entries_; 0: none yet
    bool listValid_ = false;
    unsigned listedCount_ = 0;  // NVML's device count when entries_ was made
    std::vector<Entry> entries_;
    std::uint64_t devicesListed_ = 0;
    std::vector<NvmlDevice> devices_;
};

} // namespace quel
