// LogicalDisk: which mounts are volumes, their free space, and statvfs calls that hang.

#include "fixture_machine.h"

#include "platform/logical_disk_counters.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace quel::test {
namespace {

using namespace perf_status;

// blocks, free, available, block size
const VolumeSpace Root{1000, 400, 300, 4096};
const VolumeSpace Home{2000, 1000, 1000, 1024};
const VolumeSpace Efi{100, 50, 50, 512};
const VolumeSpace MyDisk{500, 100, 100, 4096};
const VolumeSpace Odd{100, 100, 100, 4096};
const VolumeSpace Empty{0, 0, 0, 4096};

void SetVolumes(FakeVolumes& volumes)
{
    volumes.Set("/", Root);
    volumes.Set("/home", Home);
    volumes.Set("/boot/efi", Efi);
    volumes.Set("/mnt/my disk", MyDisk);
    volumes.Set("/mnt/odd)name#1", Odd);
    volumes.Set("/mnt/empty", Empty);
    // Left out by their mount point or type; answered anyway to show they are not asked for.
    volumes.Set("/run/credentials/getty.service", Root);
    volumes.Set("/dev/shm", Root);
}

// Collects until the counter's reading satisfies done (the probe answers on its own thread).
Reading CollectUntil(FixtureProvider& p, PerfCounterHandle counter, const std::function<bool(const Reading&)>& done)
{
    Reading reading{NoData, 0.0};
    for (int i = 0; i < 2000 && !done(reading); ++i) {
        if (i > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(p.Collect(), Ok);
        reading = p.Read(counter);
    }
    return reading;
}

Reading CollectUntilOk(FixtureProvider& p, PerfCounterHandle counter)
{
    return CollectUntil(p, counter, [](const Reading& reading) { return reading.status == Ok; });
}

TEST(LogicalDiskTest, VolumesAreRealFileSystemsOnePerDevice)
{
    FixtureProvider p("machine-4cpu");
    SetVolumes(p.volumes);
    EXPECT_EQ(p.Instances("LogicalDisk"),
              (std::vector<std::string>{"/", "/home", "/boot/efi", "/mnt/my disk", "/mnt/odd)name#1", "_Total"}));
}

TEST(LogicalDiskTest, FreeSpaceOfEachVolumeAndTheTotal)
{
    FixtureProvider p("machine-4cpu");
    SetVolumes(p.volumes);
    const PerfCounterHandle root = p.Add("\\LogicalDisk(/)\\% Free Space");
    const PerfCounterHandle blank = p.Add("\\LogicalDisk(/mnt/my disk)\\% Free Space");
    const PerfCounterHandle odd = p.Add("\\LogicalDisk(/mnt/odd)name#1)\\% Free Space");
    const PerfCounterHandle total = p.Add("\\LogicalDisk(_Total)\\% Free Space");
    const PerfCounterHandle bind = p.Add("\\LogicalDisk(/srv/bind)\\% Free Space");
    const PerfCounterHandle empty = p.Add("\\LogicalDisk(/mnt/empty)\\% Free Space");
    const PerfCounterHandle credentials = p.Add("\\LogicalDisk(/run/credentials/getty.service)\\% Free Space");
    ASSERT_EQ(p.Collect(), Ok);
    // Available over used + available: the blocks reserved for root are not the user's.
    EXPECT_DOUBLE_EQ(p.Read(root).value, 100.0 * 300 / 900);
    EXPECT_DOUBLE_EQ(p.Read(blank).value, 20.0);
    EXPECT_DOUBLE_EQ(p.Read(odd).value, 100.0);
    const double free = 300.0 * 4096 + 1000.0 * 1024 + 50.0 * 512 + 100.0 * 4096 + 100.0 * 4096;
    const double size = 900.0 * 4096 + 2000.0 * 1024 + 100.0 * 512 + 500.0 * 4096 + 100.0 * 4096;
    EXPECT_DOUBLE_EQ(p.Read(total).value, 100.0 * free / size) << "sum of free over sum of size";
    EXPECT_EQ(p.Read(bind).status, NoInstance) << "a second mount of the same device";
    EXPECT_EQ(p.Read(empty).status, NoInstance) << "no blocks";
    EXPECT_EQ(p.Read(credentials).status, NoInstance);

    // Known volumes take the latest finished answer, normally the previous collection's.
    p.volumes.Set("/", VolumeSpace{1000, 1000, 900, 4096});
    EXPECT_DOUBLE_EQ(CollectUntil(p, root, [](const Reading& r) { return r.value == 100.0; }).value, 100.0);
}

TEST(LogicalDiskTest, AVolumeWhoseStatvfsFailsFailsAlone)
{
    FixtureProvider p("machine-4cpu");
    SetVolumes(p.volumes);
    p.machine.Write("proc/self/mountinfo", "26 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
                                           "27 26 259:1 / /home rw - xfs /dev/nvme0n1p1 rw\n"
                                           "28 26 0:50 / /mnt/gone rw - nfs4 host:/ rw\n");
    const PerfCounterHandle gone = p.Add("\\LogicalDisk(/mnt/gone)\\% Free Space");
    const PerfCounterHandle total = p.Add("\\LogicalDisk(_Total)\\% Free Space");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(gone).status, Unreadable);
    EXPECT_DOUBLE_EQ(p.Read(total).value, 100.0 * (300.0 * 4096 + 1000.0 * 1024) / (900.0 * 4096 + 2000.0 * 1024));

    p.machine.Write("proc/self/mountinfo", "26 1 8:2 / /mnt rw - ext4 /dev/sda2 rw\n");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(total).status, Unreadable) << "no volume answered";
}

TEST(LogicalDiskTest, AHangingStatvfsNeverStallsSampling)
{
    // The collection waits a short time for the probe; here 50 ms, then it goes on without.
    FixtureProvider p("machine-4cpu", std::chrono::milliseconds(50));
    SetVolumes(p.volumes);
    p.volumes.Hang("/home");
    const PerfCounterHandle root = p.Add("\\LogicalDisk(/)\\% Free Space");
    const PerfCounterHandle home = p.Add("\\LogicalDisk(/home)\\% Free Space");
    const PerfCounterHandle efi = p.Add("\\LogicalDisk(/boot/efi)\\% Free Space");
    EXPECT_EQ(CollectUntilOk(p, root).status, Ok);  // each collection returns though "/home" never does
    EXPECT_EQ(p.Read(home).status, NoData) << "not answered";
    EXPECT_EQ(p.Read(efi).status, NoData) << "queued behind the hanging call";

    p.volumes.Release();
    EXPECT_EQ(CollectUntilOk(p, efi).status, Ok);
    EXPECT_DOUBLE_EQ(p.Read(home).value, 50.0);
}

// Mounts on a partition of each disk, on a device-mapper device (253:dmMinor) and on NFS.
std::string IoMounts(unsigned dmMinor)
{
    return "26 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
           "27 26 259:1 / /home rw - xfs /dev/nvme0n1p1 rw\n"
           "28 26 253:" + std::to_string(dmMinor) + " / /data rw - ext4 /dev/mapper/vg-data rw\n"
           "29 26 0:50 / /mnt/nfs rw - nfs4 host:/ rw\n";
}

// The I/O counters of a volume come from its own device's line: a partition or a device-mapper
// device, not the disk under it. A mount without a block device has free space but no I/O.
TEST(LogicalDiskTest, IoCountersReadTheMountedDevicesOwnLine)
{
    FixtureProvider p("machine-4cpu");
    SetVolumes(p.volumes);
    p.volumes.Set("/data", MyDisk);
    p.volumes.Set("/mnt/nfs", Odd);
    p.machine.Write("proc/self/mountinfo", IoMounts(0));
    const auto diskstats = [&p](std::uint64_t step, std::string_view data) {
        p.machine.Write("proc/diskstats",
                        DiskStatsLine(8, 0, "sda", {1000 + 400 * step, 0, 1000 + 4000 * step})
                            + DiskStatsLine(8, 2, "sda2", {500 + 200 * step, 0, 100 + 400 * step})
                            + DiskStatsLine(259, 1, "nvme0n1p1", {100 + 100 * step, 0, 10 + 1000 * step})
                            + std::string(data));
    };
    const auto dm = [](unsigned minor, std::uint64_t reads, std::uint64_t readMs) {
        return DiskStatsLine(253, minor, "dm-" + std::to_string(minor), {reads, 0, readMs});
    };
    const PerfCounterHandle rootReads = p.Add("\\LogicalDisk(/)\\Disk Reads/sec");
    const PerfCounterHandle dataReads = p.Add("\\LogicalDisk(/data)\\Disk Reads/sec");
    const PerfCounterHandle nfsReads = p.Add("\\LogicalDisk(/mnt/nfs)\\Disk Reads/sec");
    const PerfCounterHandle nfsFree = p.Add("\\LogicalDisk(/mnt/nfs)\\Free Megabytes");
    const PerfCounterHandle totalFree = p.Add("\\LogicalDisk(_Total)\\Free Megabytes");
    const PerfCounterHandle totalReads = p.Add("\\LogicalDisk(_Total)\\Disk Reads/sec");
    const PerfCounterHandle totalSecPerRead = p.Add("\\LogicalDisk(_Total)\\Avg. Disk sec/Read");
    const PerfCounterHandle sdaReads = p.Add("\\PhysicalDisk(sda)\\Disk Reads/sec");
    diskstats(0, dm(0, 50, 100));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_DOUBLE_EQ(p.Read(nfsFree).value, 100.0 * 4096 / 1048576);
    EXPECT_DOUBLE_EQ(p.Read(totalFree).value,
                     (300.0 * 4096 + 1000.0 * 1024 + 100.0 * 4096 + 100.0 * 4096) / 1048576);
    EXPECT_EQ(p.Read(nfsReads).status, Unreadable) << "no block device behind it";
    EXPECT_EQ(p.Read(rootReads).status, NoData);

    diskstats(1, dm(0, 150, 400));
    ASSERT_EQ(p.CollectAfter(2.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(rootReads).value, 100.0) << "sda2's reads";
    EXPECT_DOUBLE_EQ(p.Read(sdaReads).value, 200.0) << "the disk's own line";
    EXPECT_DOUBLE_EQ(p.Read(dataReads).value, 50.0);
    EXPECT_EQ(p.Read(nfsReads).status, Unreadable);
    EXPECT_DOUBLE_EQ(p.Read(totalReads).value, 100.0 + 50.0 + 50.0) << "the mounted devices, sda not twice";
    EXPECT_DOUBLE_EQ(p.Read(totalSecPerRead).value, (400.0 + 1000.0 + 300.0) / (200 + 100 + 100) / 1000);

    // The device-mapper device goes away: its volume's I/O fails, the others go on.
    diskstats(2, "");
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(dataReads).status, Unreadable);
    EXPECT_DOUBLE_EQ(p.Read(totalReads).value, 200.0 + 100.0);

    // Re-created as 253:1 and mounted again: a new device, primed anew.
    p.machine.Write("proc/self/mountinfo", IoMounts(1));
    diskstats(3, dm(1, 10, 10));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(dataReads).status, NoData);
    diskstats(4, dm(1, 30, 10));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(dataReads).value, 20.0);
    EXPECT_DOUBLE_EQ(p.Read(totalReads).value, 200.0 + 100.0 + 20.0);
}

TEST(LogicalDiskTest, MountFilters)
{
    EXPECT_TRUE(IsPseudoFileSystem("tmpfs"));
    EXPECT_TRUE(IsPseudoFileSystem("cgroup2"));
    EXPECT_FALSE(IsPseudoFileSystem("ext4"));
    EXPECT_FALSE(IsPseudoFileSystem("fuse.sshfs"));
    EXPECT_TRUE(IsSystemMountPoint("/proc"));
    EXPECT_TRUE(IsSystemMountPoint("/sys/fs/cgroup"));
    EXPECT_TRUE(IsSystemMountPoint("/run/credentials/a.service"));
    EXPECT_FALSE(IsSystemMountPoint("/run"));
    EXPECT_FALSE(IsSystemMountPoint("/devices"));
    EXPECT_FALSE(IsSystemMountPoint("/"));
}

} // namespace
} // namespace quel::test
