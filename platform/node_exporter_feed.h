#pragma once
// NodeExporterFeed: turns a node exporter page into the sources of a SystemSnapshot, so that a
// remote computer's counters are computed by the very readers (and formulas) of this machine's.
// What the page does not give leaves its source invalid, and those counters fail their reads.

#include "platform/network_interface_counters.h"

#include <cstdint>
#include <string_view>

namespace quel {

class ExpositionPage;
class SystemSnapshot;
struct SnapshotOptions;

class NodeExporterFeed {
public:
    // Replaces every source of snapshot by what page holds, as of timeNs (monotonic).
    static void Apply(const ExpositionPage& page, std::int64_t timeNs, SystemSnapshot& snapshot);
    // Marks every source of snapshot unreadable (the computer did not answer).
    static void Fail(std::int64_t timeNs, SystemSnapshot& snapshot);

private:
    // The per-interface values of a fed NetSource, as if read from sysfs in this collection.
    static NetSource::InterfaceFiles* InterfaceFilesOf(NetSource& net, std::string_view device);
};

// The options of a snapshot that is only ever fed, never refreshed from files.
SnapshotOptions FedSnapshotOptions();

} // namespace quel
