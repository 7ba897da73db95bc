#pragma once
// PhysicalDisk (whole disks and _Total) from /proc/diskstats. A device counts when
// /sys/block/NAME/device exists, which leaves out partitions, loop, ram and device-mapper
// devices. Disks are identified by name and major:minor, so a re-created disk starts afresh.

#include "platform/object_family.h"
#include "platform/page_feed.h"
#include "platform/proc_file.h"
#include "platform/slot_list.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quel {

struct DiskStat {
    std::string name;
    std::uint64_t device = 0;  // major << 32 | minor
    std::uint64_t sectorsRead = 0;
    std::uint64_t sectorsWritten = 0;
    std::uint64_t ioTicks = 0;  // milliseconds spent doing I/O; a 32-bit counter
};

class DiskSource final : public PageFeed {
public:
    DiskSource(const std::string& procRoot, const std::string& sysRoot);
    void Refresh();
    bool Valid() const { return valid_; }
    const DiskStat* Find(std::string_view name) const;
    std::span<const DiskStat> Disks() const { return disks_.Items(); }
    void List(std::vector<std::string>& names) const;

    // The node exporter's series of this source (PageFeed).
    std::span<const std::string_view> Series() const override;
    void BeginPage(std::uint64_t collection) override;
    void TakeSample(const ExpositionPage& page, const ExpositionSample& sample) override;
    void EndPage() override;

private:
    // Whether a device is a whole physical disk, remembered per name and device so sysfs is
    // asked once per device rather than once per collection.
    struct Kind {
        std::string name;
        std::uint64_t device = 0;
        bool physical = false;
        bool seen = false;
    };
    bool IsPhysical(std::string_view name, std::uint64_t device);
    void ForgetUnseenKinds();

    ProcFile file_;
    std::string sysRoot_;
    bool valid_ = false;
    SlotList<DiskStat> disks_;
    std::vector<Kind> kinds_;
};

const ObjectFamily& PhysicalDiskFamily();

} // namespace quel
