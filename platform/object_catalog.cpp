#include "platform/object_catalog.h"

#include "platform/control_group_counters.h"
#include "platform/battery_counters.h"
#include "platform/gpu_counters.h"
#include "platform/ip_counters.h"
#include "platform/logical_disk_counters.h"
#include "platform/memory_counters.h"
#include "platform/network_interface_counters.h"
#include "platform/paging_file_counters.h"
#include "platform/physical_disk_counters.h"
#include "platform/pressure_counters.h"
#include "platform/process_counters.h"
#include "platform/processor_counters.h"
#include "platform/sensor_counters.h"
#include "platform/system_counters.h"
#include "platform/text_scan.h"

#include <array>

namespace quel {

void ListNoInstances(SystemSnapshot&, std::vector<std::string>&) {}

std::span<const ObjectFamily* const> ObjectCatalog()
{
    static const std::array<const ObjectFamily*, 23> catalog = {
        &ProcessorFamily(),  &MemoryFamily(),       &PagingFileFamily(),
        &SystemFamily(),     &ObjectsFamily(),      &ServerFamily(),
        &LogicalDiskFamily(), &PhysicalDiskFamily(), &NetworkInterfaceFamily(),
        &IPv4Family(), &IPv6Family(), &UDPv4Family(), &UDPv6Family(), &TCPFamily(),
        &PressureFamily(),
        &ProcessFamily(),
        &ControlGroupFamily(),
        &ThermalZoneFamily(), &FanFamily(), &PowerMeterFamily(), &BatteryFamily(),
        &GpuEngineFamily(), &GpuAdapterMemoryFamily(),
    };
    return catalog;
}

const ObjectFamily* FindObjectFamily(std::string_view name)
{
    for (const ObjectFamily* family : ObjectCatalog()) {
        if (text::EqualsNoCase(family->name, name))
            return family;
    }
    return nullptr;
}

std::optional<std::size_t> FindCounterIndex(const ObjectFamily& family, std::string_view counter)
{
    for (std::size_t i = 0; i < family.counters.size(); ++i) {
        if (text::EqualsNoCase(family.counters[i].name, counter))
            return i;
    }
    return std::nullopt;
}

namespace {

// A table cell: "|" would end the cell early.
std::string Cell(std::string_view text)
{
    std::string cell;
    for (const char c : text) {
        if (c == '|')
            cell += "\\|";
        else
            cell += c;
    }
    return cell;
}

} // namespace

std::string CounterCatalogPage()
{
    std::string page =
        "# Counters\n\n"
        "Every object and counter the provider offers: its unit, where it comes from on this computer (the files\n"
        "below /proc and /sys) and on another computer read through its node exporter. Rates are taken over the\n"
        "time between two collections; a value that cannot be known is a failed read, never a made-up number.\n"
        "A counter \"not available from this computer\" has no series on a node exporter page.\n\n"
        "This page is made from the provider's counter tables (platform/*_counters.cpp), as the counter\n"
        "browser's explanations are; do not edit it by hand.\n";
    for (const ObjectFamily* family : ObjectCatalog()) {
        page += "\n## " + std::string(family->name) + "\n\n" + std::string(family->explanation) + "\n\n";
        page += family->hasInstances ? "Instances: yes.\n\n" : "Instances: none.\n\n";
        page += "| Counter | Unit | Meaning | This computer | Node exporter |\n|---|---|---|---|---|\n";
        for (const CounterInfo& counter : family->counters) {
            page += "| " + Cell(counter.name) + " | " + Cell(counter.unit) + " | " + Cell(counter.explanation) + " | " + Cell(counter.local) + " | "
                + (counter.AvailableRemotely() ? Cell(counter.remote) : std::string("not available remotely")) + " |\n";
        }
    }
    return page;
}

} // namespace quel
