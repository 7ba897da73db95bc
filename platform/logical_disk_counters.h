#pragma once
// LogicalDisk (mounted volumes and _Total): the mounts of /proc/self/mountinfo that hold real
// file systems, one instance per device named by its first mount point, with the free space
// from statvfs run by a VolumeSpaceProbe and the I/O counters of the device's /proc/diskstats
// line (DiskIoCounter, shared with PhysicalDisk).

#include "platform/object_family.h"
#include "platform/page_feed.h"
#include "platform/proc_file.h"
#include "platform/slot_list.h"
#include "platform/volume_space_probe.h"

#include <string>
#include <string_view>
#include <vector>

namespace quel {

class MountSource final : public PageFeed {
public:
    MountSource(const std::string& procRoot, VolumeStatFunction stat, std::chrono::milliseconds probeWait);
    void Refresh();
    bool Valid() const { return valid_; }

    // The volumes that are instances: answered with blocks, or not answered yet (their reads
    // fail). Volumes known to have no blocks are left out.
    const VolumeQuery* Find(std::string_view mountPoint) const;
    static bool IsInstance(const VolumeQuery& volume);
    // Percent free of one volume; false when it cannot be known.
    static bool FreePercent(const VolumeQuery& volume, double& percent);
    // Sum of free over sum of size of every answered volume.
    bool TotalFreePercent(double& percent) const;
    // Free space that users may take, in megabytes of 1048576 bytes; false when unknown.
    static bool FreeMegabytes(const VolumeQuery& volume, double& megabytes);
    // The sum over every answered volume; false when none was.
    bool TotalFreeMegabytes(double& megabytes) const;
    // Every volume of this collection, those that are not instances included (see IsInstance).
    std::span<const VolumeQuery> Volumes() const { return volumes_.Items(); }
    void List(std::vector<std::string>& names) const;

    // The node exporter's series of this source (PageFeed).
    std::span<const std::string_view> Series() const override;
    void BeginPage(std::uint64_t collection) override;
    void TakeSample(const ExpositionPage& page, const ExpositionSample& sample) override;
    void EndPage() override;

private:
    void Parse(std::string_view content);

    ProcFile file_;
    VolumeSpaceProbe probe_;
    bool valid_ = false;
    SlotList<VolumeQuery> volumes_;
    std::string decoded_;  // scratch for a mount point being decoded
    // What a page gave of each volume, in bytes (-1: not given), by the index in volumes_.
    struct PageSpace {
        double size = -1.0, free = -1.0, avail = -1.0;
    };
    std::vector<PageSpace> pageSpaces_;
};

// Whether a mountinfo line is kept: a real file system, not under /proc, /sys, /dev or
// /run/credentials. Exposed for tests.
bool IsPseudoFileSystem(std::string_view type);
bool IsSystemMountPoint(std::string_view mountPoint);

const ObjectFamily& LogicalDiskFamily();

} // namespace quel
