#pragma once
// Network Interface (every interface of /proc/net/dev, the loopback one included), with the
// interface index, link speed and type from /sys/class/net/NAME. Interfaces are identified by
// name and index, so a re-created interface starts afresh.

#include "platform/object_family.h"
#include "platform/page_feed.h"
#include "platform/proc_file.h"
#include "platform/slot_list.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quel {

// The /proc/net/dev fields of one interface that the counters use.
struct InterfaceStat {
    std::string name;
    std::uint64_t rxBytes = 0;
    std::uint64_t rxPackets = 0;
    std::uint64_t rxErrors = 0;
    std::uint64_t rxDropped = 0;
    std::uint64_t txBytes = 0;
    std::uint64_t txPackets = 0;
    std::uint64_t txErrors = 0;
    std::uint64_t txDropped = 0;
    // Bit i: the field of row i of the field table is known (a page may lack a series).
    std::uint32_t present = 0;
};

class NetSource final : public PageFeed {
public:
    NetSource(const std::string& procRoot, const std::string& sysRoot);
    void Refresh(std::uint64_t collection);
    bool Valid() const { return valid_; }
    const InterfaceStat* Find(std::string_view name) const;
    void List(std::vector<std::string>& names) const;

    // The interface's index, read once per collection; false when it is gone.
    bool IfIndex(std::string_view name, std::uint64_t& index);
    // The link speed in Mbit/s, read once per collection; false when unreadable.
    bool SpeedMbits(std::string_view name, std::int64_t& speed);
    // ARPHRD_LOOPBACK (772) in /sys/class/net/NAME/type.
    bool IsLoopback(std::string_view name);

    // The node exporter's series of this source (PageFeed).
    std::span<const std::string_view> Series() const override;
    void BeginPage(std::uint64_t collection) override;
    void TakeSample(const ExpositionPage& page, const ExpositionSample& sample) override;
    void EndPage() override;

private:
    // The sysfs files of one interface, kept open while it exists.
    struct InterfaceFiles {
        std::string name;
        ProcFile ifindex;
        ProcFile speed;
        std::uint64_t ifindexCollection = 0;
        std::uint64_t speedCollection = 0;
        bool ifindexValid = false;
        bool speedValid = false;
        std::uint64_t ifindexValue = 0;
        std::int64_t speedValue = 0;
        bool seen = false;
    };
    InterfaceFiles* Files(std::string_view name);
    // The per-interface values of a fed source, as if read from sysfs in this collection.
    InterfaceFiles& PageFiles(std::string_view name);
    static bool ReadNumber(ProcFile& file, std::int64_t& value);

    ProcFile file_;
    std::string sysRoot_;
    bool valid_ = false;
    std::uint64_t collection_ = 0;
    SlotList<InterfaceStat> interfaces_;
    std::vector<InterfaceFiles> files_;
};

const ObjectFamily& NetworkInterfaceFamily();

} // namespace quel
