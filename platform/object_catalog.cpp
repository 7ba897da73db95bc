#include "platform/object_catalog.h"

#include "platform/logical_disk_counters.h"
#include "platform/memory_counters.h"
#include "platform/network_interface_counters.h"
#include "platform/paging_file_counters.h"
#include "platform/physical_disk_counters.h"
#include "platform/processor_counters.h"
#include "platform/system_counters.h"
#include "platform/text_scan.h"

#include <array>

namespace quel {

void ListNoInstances(SystemSnapshot&, std::vector<std::string>&) {}

std::span<const ObjectFamily* const> ObjectCatalog()
{
    static const std::array<const ObjectFamily*, 9> catalog = {
        &ProcessorFamily(),  &MemoryFamily(),       &PagingFileFamily(),
        &SystemFamily(),     &ObjectsFamily(),      &ServerFamily(),
        &LogicalDiskFamily(), &PhysicalDiskFamily(), &NetworkInterfaceFamily(),
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
        if (text::EqualsNoCase(family.counters[i], counter))
            return i;
    }
    return std::nullopt;
}

} // namespace quel
