#include "platform/nvml_devices.h"

#include "platform/text_scan.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace quel {
namespace {

// A hexadecimal field of at most maxDigits digits, then the separator (none at the end).
bool TakeHex(std::string_view& text, std::size_t maxDigits, char separator, unsigned& value)
{
    const std::size_t end = separator == '\0' ? text.size() : text.find(separator);
    if (end == std::string_view::npos || end == 0 || end > maxDigits)
        return false;
    std::uint64_t number = 0;
    if (!text::ParseHex(text.substr(0, end), number))
        return false;
    value = static_cast<unsigned>(number);
    text.remove_prefix(end == text.size() ? end : end + 1);
    return true;
}

std::string LibraryPath(std::string path)
{
    if (!path.empty())
        return path;
    const char* variable = std::getenv("QUELLARIMOND_NVML_LIBRARY");
    return variable != nullptr && *variable != '\0' ? std::string(variable) : std::string(NvmlLibraryName);
}

} // namespace

bool ParsePciAddress(std::string_view text, PciAddress& address)
{
    PciAddress parsed;
    if (!TakeHex(text, 8, ':', parsed.domain) || !TakeHex(text, 2, ':', parsed.bus)
        || !TakeHex(text, 2, '.', parsed.device) || !TakeHex(text, 1, '\0', parsed.function))
        return false;
    if (parsed.device > 31 || parsed.function > 7)
        return false;
    address = parsed;
    return true;
}

NvmlSource::NvmlSource(std::string procRoot, std::string libraryPath, Notice notice)
    : procRoot_(std::move(procRoot)), libraryPath_(LibraryPath(std::move(libraryPath))), notice_(std::move(notice))
{
    if (!notice_)
        notice_ = [](const std::string& text) { std::fprintf(stderr, "Quellarimond: %s\n", text.c_str()); };
}

void NvmlSource::Refresh(std::uint64_t collection)
{
    collection_ = collection;
}

PerfStatus NvmlSource::Ready()
{
    if (!tried_) {
        // Without the driver there is no GPU for NVML to report: nothing to load.
        struct stat info {};
        if (::stat((procRoot_ + "/driver/nvidia").c_str(), &info) != 0)
            return perf_status::NoLibrary;
        tried_ = true;
        std::string error;
        if (!library_.Open(libraryPath_, error))
            notice_("NVIDIA GPUs cannot be read: " + error);
    }
    if (!library_.IsOpen())
        return perf_status::NoLibrary;
    if (listed_ != collection_ || listed_ == 0) {
        listed_ = collection_;
        unsigned count = 0;
        listValid_ = library_.DeviceCount(count) == nvml::Success;
        // NVML's devices are fixed while it runs: they are listed again only when their count
        // changes, and otherwise only this collection's answers are forgotten.
        if (listValid_ && count == listedCount_) {
            for (Entry& entry : entries_)
                entry.utilizationAsked = entry.memoryAsked = false;
            return perf_status::Ok;
        }
        listedCount_ = listValid_ ? count : 0;
        ListDevices(listedCount_);
    }
    return listValid_ ? perf_status::Ok : perf_status::Unreadable;
}

void NvmlSource::ListDevices(unsigned count)
{
    constexpr unsigned MaxDevices = 64;
    entries_.clear();
    for (unsigned index = 0; index < count && index < MaxDevices; ++index) {
        Entry entry;
        nvml::PciInfo pci{};
        if (library_.DeviceByIndex(index, entry.handle) != nvml::Success
            || library_.PciInfo(entry.handle, pci) != nvml::Success)
            continue;
        pci.busId[sizeof pci.busId - 1] = '\0';
        if (!ParsePciAddress(pci.busId, entry.address))
            continue;
        entry.hasMinor = library_.MinorNumber(entry.handle, entry.minor) == nvml::Success;
        entries_.push_back(entry);
    }
}

NvmlSource::Entry* NvmlSource::Find(const PciAddress& address)
{
    for (Entry& entry : entries_) {
        if (entry.address == address)
            return &entry;
    }
    return nullptr;
}

PerfStatus NvmlSource::Utilization(const PciAddress& address, double& percent)
{
    if (const PerfStatus status = Ready(); status != perf_status::Ok)
        return status;
    Entry* entry = Find(address);
    if (entry == nullptr)
        return perf_status::Unreadable;
    if (!entry->utilizationAsked) {
        entry->utilizationAsked = true;
        entry->utilizationStatus = library_.Utilization(entry->handle, entry->utilization);
    }
    if (entry->utilizationStatus != nvml::Success || entry->utilization.gpu > 100)
        return perf_status::Unreadable;
    percent = entry->utilization.gpu;
    return perf_status::Ok;
}

PerfStatus NvmlSource::Memory(const PciAddress& address, Entry*& entry)
{
    if (const PerfStatus status = Ready(); status != perf_status::Ok)
        return status;
    entry = Find(address);
    if (entry == nullptr)
        return perf_status::Unreadable;
    if (!entry->memoryAsked) {
        entry->memoryAsked = true;
        entry->memoryStatus = library_.Memory(entry->handle, entry->memory);
    }
    // A used amount beyond the total is no reading of a real board.
    if (entry->memoryStatus != nvml::Success || entry->memory.used > entry->memory.total)
        return perf_status::Unreadable;
    return perf_status::Ok;
}

PerfStatus NvmlSource::MemoryUsed(const PciAddress& address, double& bytes)
{
    Entry* entry = nullptr;
    const PerfStatus status = Memory(address, entry);
    if (status == perf_status::Ok)
        bytes = static_cast<double>(entry->memory.used);
    return status;
}

PerfStatus NvmlSource::MemoryTotal(const PciAddress& address, double& bytes)
{
    Entry* entry = nullptr;
    const PerfStatus status = Memory(address, entry);
    if (status == perf_status::Ok)
        bytes = static_cast<double>(entry->memory.total);
    return status;
}

const std::vector<NvmlDevice>& NvmlSource::Devices()
{
    if (devicesListed_ == collection_ && devicesListed_ != 0)
        return devices_;
    devicesListed_ = collection_;
    devices_.clear();
    if (Ready() != perf_status::Ok)
        return devices_;
    for (const Entry& entry : entries_) {
        if (!entry.hasMinor)
            continue;
        NvmlDevice& device = devices_.emplace_back();
        device.name = "nvidia" + std::to_string(entry.minor);
        unsigned celsius = 0;
        unsigned milliwatts = 0;
        if (library_.Temperature(entry.handle, celsius) == nvml::Success)
            device.temperature = celsius;
        if (library_.Power(entry.handle, milliwatts) == nvml::Success)
            device.power = milliwatts;
    }
    return devices_;
}

} // namespace quel
