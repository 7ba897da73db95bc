#pragma once
// NodeExporterFeed: feeds a node exporter page to every source of a SystemSnapshot, so that a
// remote computer's counters are computed by the very readers (and formulas) of this machine's.
// Each source takes the series it knows (PageFeed); what the page does not give leaves its
// values unknown, and those counters fail their reads.

#include <cstdint>

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
};

// The options of a snapshot that is only ever fed, never refreshed from files.
SnapshotOptions FedSnapshotOptions();

} // namespace quel
