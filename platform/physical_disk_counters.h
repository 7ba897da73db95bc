#pragma once
// PhysicalDisk (whole disks and _Total) from /proc/diskstats. A device counts when
// /sys/block/NAME/device exists, which leaves out partitions, loop, ram and device-mapper
// devices. Disks are identified by name and major:minor, so a re-created disk starts afresh.
//
// The I/O counters of a diskstats line (DiskIoCounter) are shared with LogicalDisk, which reads
// them from the line of each mounted device, partitions and device-mapper devices included.

#include "platform/object_family.h"
#include "platform/page_feed.h"
#include "platform/proc_file.h"
#include "platform/rate_baseline.h"
#include "platform/slot_list.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quel {

// The fields of a diskstats line that counters use, after major, minor and name.
enum class DiskField : std::uint8_t {
    Reads,           // reads completed
    SectorsRead,     // 512-byte sectors read
    ReadMs,          // milliseconds spent reading
    Writes,          // writes completed
    SectorsWritten,  // 512-byte sectors written
    WriteMs,         // milliseconds spent writing
    InFlight,        // I/Os in progress now
    IoTicks,         // milliseconds spent doing I/O; a 32-bit counter on older kernels
    WeightedMs,      // milliseconds spent doing I/O, weighted by the I/Os in progress
    None,            // no field: reads as 0
};
inline constexpr std::size_t DiskFieldCount = static_cast<std::size_t>(DiskField::None);

struct DiskStat {
    std::string name;
    std::uint64_t device = 0;  // major << 32 | minor
    std::array<std::uint64_t, DiskFieldCount> fields{};
    // Bit per DiskField that is known: a file line gives them all, a page only those it lists.
    std::uint32_t known = 0;

    std::uint64_t Field(DiskField field) const
    {
        return field == DiskField::None ? 0 : fields[static_cast<std::size_t>(field)];
    }
    bool Knows(DiskField field) const
    {
        return field == DiskField::None || (known >> static_cast<unsigned>(field) & 1U) != 0;
    }
};

class DiskSource final : public PageFeed {
public:
    DiskSource(const std::string& procRoot, const std::string& sysRoot);
    void Refresh();
    bool Valid() const { return valid_; }
    // The whole physical disks, by name.
    const DiskStat* Find(std::string_view name) const;
    std::span<const DiskStat> Disks() const { return disks_.Items(); }
    // Any line of the file (partitions, loop and device-mapper devices too), by major:minor.
    const DiskStat* FindDevice(std::uint64_t device) const;
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
    SlotList<DiskStat> disks_;   // the physical disks
    SlotList<DiskStat> others_;  // every other line
    std::vector<Kind> kinds_;
};

// The I/O counters of a diskstats line, in the order PhysicalDisk lists them.
enum class DiskIoCounter : std::uint8_t {
    DiskTime,
    ReadBytes,
    WriteBytes,
    IdleTime,
    ReadTime,
    WriteTime,
    Reads,
    Writes,
    Transfers,
    Bytes,
    SecPerRead,
    SecPerWrite,
    SecPerTransfer,
    BytesPerTransfer,
    CurrentQueue,
    AvgQueue,
};
inline constexpr std::size_t DiskIoCounterCount = 16;

// Name, unit and explanation of each DiskIoCounter (local and remote texts are PhysicalDisk's).
std::span<const CounterInfo> DiskIoCounterInfos();

// One I/O counter of one device from collection to collection. The first sample, or the first
// after the device changed (another major:minor) or a value went backwards, only primes.
class DiskIoTrack {
public:
    explicit DiskIoTrack(DiskIoCounter counter);
    PerfStatus Sample(const DiskStat& disk, std::int64_t nowNs, double& value);
    void Forget() { baseline_.Forget(); }

private:
    DiskIoCounter counter_;
    RateBaseline<4> baseline_;
};

// One I/O counter over several devices (_Total): rates, queue lengths and the averages per I/O
// from the sums of every device's deltas, percentages as the mean over the devices. A device
// seen for the first time, or one that was reset, sits out one collection.
class DiskIoTotal {
public:
    explicit DiskIoTotal(DiskIoCounter counter) : counter_(counter) {}
    void Begin() { current_.Clear(); }
    void Add(const DiskStat& disk);
    // The value over the devices added since Begin; Unreadable when none was, or none had the
    // fields the counter needs.
    PerfStatus Finish(std::int64_t nowNs, double& value);
    void Forget();

private:
    struct Raw {
        std::string name;
        std::uint64_t device = 0;
        std::array<std::uint64_t, 4> values{};
        bool known = false;
    };
    bool Delta(const Raw& raw, RateBaseline<4>::Raw& delta) const;
    void Keep(std::int64_t nowNs);

    DiskIoCounter counter_;
    SlotList<Raw> previous_;
    SlotList<Raw> current_;
    std::int64_t previousNs_ = 0;
    bool primed_ = false;
};

const ObjectFamily& PhysicalDiskFamily();

} // namespace quel
