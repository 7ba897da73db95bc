#pragma once
// The objects the Linux provider offers, in its order, looked up by name case-insensitively.
//
// Adding an object family:
// 1. One file pair in platform/ (name_counters.{h,cpp}) with its counter table (CounterInfo:
//    name, unit, explanation, local source and formula, node exporter series or none), its
//    readers, its instance list and, where it reads files no other family reads, its source
//    class: the files read once per collection with ProcFile (pread on a kept descriptor) and a
//    PageFeed for the node exporter's series. A new source also gets its bit in sources::
//    (counter_reader.h) and its member in SystemSnapshot.
// 2. Its row in ObjectCatalog() below.
// 3. Its files in the fixture trees (tests/fixtures/machine-*), as the kernel prints them.
// 4. docs/counters.md, regenerated from the tables: QUEL_UPDATE_DOCS=1 ctest -R counter_catalog.

#include "platform/object_family.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quel {

std::span<const ObjectFamily* const> ObjectCatalog();
const ObjectFamily* FindObjectFamily(std::string_view name);
// The index of a counter within its object; none when the object has no such counter.
std::optional<std::size_t> FindCounterIndex(const ObjectFamily& family, std::string_view counter);
// Every object and counter with its unit, sources and formulas, as Markdown (docs/counters.md).
std::string CounterCatalogPage();

} // namespace quel
