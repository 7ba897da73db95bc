#include "platform/nvml_library.h"

#include <type_traits>

namespace quel {
namespace {

// An NVML status as text for the one notice of a failed start.
std::string ReturnText(nvml::Return status)
{
    return "NVML status " + std::to_string(status);
}

constexpr nvml::Return NotLoaded = 9;  // NVML_ERROR_DRIVER_NOT_LOADED, for calls on a closed library

} // namespace

NvmlLibrary::~NvmlLibrary()
{
    if (initialised_)
        calls_.shutdown();
}

bool NvmlLibrary::Resolve(std::string& error)
{
    const auto find = [&](auto& entry, const char* name) {
        if (error.empty())
            entry = module_.Find<std::remove_pointer_t<std::remove_reference_t<decltype(entry)>>>(name, error);
        return entry != nullptr;
    };
    error.clear();
    return find(calls_.init, "nvmlInit_v2") && find(calls_.shutdown, "nvmlShutdown")
        && find(calls_.count, "nvmlDeviceGetCount_v2") && find(calls_.byIndex, "nvmlDeviceGetHandleByIndex_v2")
        && find(calls_.pciInfo, "nvmlDeviceGetPciInfo_v3") && find(calls_.minor, "nvmlDeviceGetMinorNumber")
        && find(calls_.utilization, "nvmlDeviceGetUtilizationRates")
        && find(calls_.memory, "nvmlDeviceGetMemoryInfo") && find(calls_.temperature, "nvmlDeviceGetTemperature")
        && find(calls_.power, "nvmlDeviceGetPowerUsage");
}

bool NvmlLibrary::Open(const std::string& path, std::string& error)
{
    module_ = LoadableModule::OpenFile(path, error);
    if (!module_.IsOpen())
        return false;
    if (!Resolve(error)) {
        module_ = LoadableModule();
        calls_ = EntryPoints();
        return false;
    }
    const nvml::Return status = calls_.init();
    if (status != nvml::Success) {
        error = "nvmlInit_v2 of " + path + " failed: " + ReturnText(status);
        module_ = LoadableModule();
        calls_ = EntryPoints();
        return false;
    }
    initialised_ = true;
    return true;
}

nvml::Return NvmlLibrary::DeviceCount(unsigned& count) const
{
    return initialised_ ? calls_.count(&count) : NotLoaded;
}

nvml::Return NvmlLibrary::DeviceByIndex(unsigned index, nvml::Device& device) const
{
    return initialised_ ? calls_.byIndex(index, &device) : NotLoaded;
}

nvml::Return NvmlLibrary::PciInfo(nvml::Device device, nvml::PciInfo& info) const
{
    return initialised_ ? calls_.pciInfo(device, &info) : NotLoaded;
}

nvml::Return NvmlLibrary::MinorNumber(nvml::Device device, unsigned& minor) const
{
    return initialised_ ? calls_.minor(device, &minor) : NotLoaded;
}

nvml::Return NvmlLibrary::Utilization(nvml::Device device, nvml::Utilization& rates) const
{
    return initialised_ ? calls_.utilization(device, &rates) : NotLoaded;
}

nvml::Return NvmlLibrary::Memory(nvml::Device device, nvml::Memory& memory) const
{
    return initialised_ ? calls_.memory(device, &memory) : NotLoaded;
}

nvml::Return NvmlLibrary::Temperature(nvml::Device device, unsigned& celsius) const
{
    return initialised_ ? calls_.temperature(device, nvml::TemperatureGpu, &celsius) : NotLoaded;
}

nvml::Return NvmlLibrary::Power(nvml::Device device, unsigned& milliwatts) const
{
    return initialised_ ? calls_.power(device, &milliwatts) : NotLoaded;
}

} // namespace quel
