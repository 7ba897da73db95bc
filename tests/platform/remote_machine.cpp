#include "remote_machine.h"

#include <filesystem>
#include <sstream>

namespace quel::test {

LinuxPerfDataSourceOptions RemoteProviderOptions(ManualClock& clock, std::chrono::milliseconds deadline,
                                                 std::chrono::milliseconds wait)
{
    LinuxPerfDataSourceOptions options;
    options.clock = clock.Function();
    options.hostName = "testbox";
    options.remote.clock = clock.Function();
    options.remote.deadline = deadline;
    options.remote.wait = wait;
    return options;
}

NodeExporterMachine::NodeExporterMachine(const std::vector<std::string>& flags)
{
    // What the node exporter reads beyond the local provider's files: its mount table, and a
    // root with the mounted folders for statfs. The swap figures of meminfo agree with swaps.
    const std::string root = std::filesystem::path(machine.ProcRoot()).parent_path().string();
    rootfs_ = root + "/rootfs";
    std::filesystem::create_directories(rootfs_ + "/home");
    const std::string mounts = "/dev/sda2 / ext4 rw,relatime 0 0\n/dev/nvme0n1p1 /home xfs rw 0 0\n"
                               "proc /proc proc rw 0 0\ntmpfs /run tmpfs rw 0 0\n";
    machine.Write("proc/mounts", mounts);
    machine.Write("proc/1/mounts", mounts);
    machine.Write("proc/meminfo", "MemTotal:       16000000 kB\nMemFree:         6000000 kB\n"
                                  "MemAvailable:   10000000 kB\nSwapTotal:       4000000 kB\n"
                                  "Buffers:           20000 kB\nCached:          3000000 kB\n"
                                  "Dirty:               168 kB\nWriteback:            12 kB\n"
                                  "SReclaimable:     400000 kB\nSUnreclaim:       100000 kB\n"
                                  "SwapFree:        2750000 kB\nCommitLimit:    12000000 kB\n"
                                  "Committed_AS:    5000000 kB\n");
    machine.Write("proc/self/mountinfo", "26 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
                                         "27 26 259:1 / /home rw,relatime - xfs /dev/nvme0n1p1 rw\n"
                                         "31 26 0:41 / /run rw,nosuid - tmpfs tmpfs rw\n");

    LinuxPerfDataSourceOptions localOptions = RemoteProviderOptions(clock, std::chrono::seconds(2),
                                                                    std::chrono::seconds(2));
    localOptions.procRoot = machine.ProcRoot();
    localOptions.sysRoot = machine.SysRoot();
    const std::string rootfs = rootfs_;
    localOptions.volumeStat = [rootfs](const char* mountPoint, VolumeSpace& space) {
        return StatVolume((rootfs + mountPoint).c_str(), space);
    };
    localOptions.volumeProbeWait = std::chrono::seconds(30);
    local = std::make_unique<LinuxPerfDataSource>(localOptions);
    remote = std::make_unique<LinuxPerfDataSource>(
        RemoteProviderOptions(clock, std::chrono::seconds(5), std::chrono::seconds(5)));

    const int port = FreeLoopbackPort();
    std::vector<std::string> command = {"prometheus-node-exporter", "--path.procfs=" + machine.ProcRoot(),
                                        "--path.sysfs=" + machine.SysRoot(), "--path.rootfs=" + rootfs_,
                                        "--no-collector.netdev.netlink",
                                        "--web.listen-address=127.0.0.1:" + std::to_string(port)};
    command.insert(command.end(), flags.begin(), flags.end());
    running_ = port > 0 && exporter_.Start(command, port);
}

std::string NodeExporterMachine::Computer() const
{
    return "127.0.0.1:" + std::to_string(exporter_.Port());
}

std::string NodeExporterMachine::Remote(const std::string& path) const
{
    return "\\\\" + Computer() + path;
}

void NodeExporterMachine::Advance(int step) const
{
    const auto n = [step](long base, long perStep) { return std::to_string(base + perStep * step); };
    std::ostringstream stat;
    stat << "cpu  " << n(1000, 170) << ' ' << n(40, 4) << ' ' << n(500, 60) << ' ' << n(8000, 500) << ' '
         << n(200, 30) << ' ' << n(50, 8) << ' ' << n(50, 6) << ' ' << n(60, 4) << ' ' << n(100, 85) << ' '
         << n(6, 4) << '\n';
    const long perCpu[4][8] = {{10, 1, 5, 200, 5, 1, 1, 1}, {40, 1, 20, 100, 10, 3, 2, 1},
                               {50, 1, 15, 100, 5, 2, 1, 1}, {70, 1, 20, 100, 10, 2, 2, 1}};
    const long baseCpu[4][8] = {{100, 10, 50, 2000, 20, 5, 5, 10}, {200, 10, 150, 1900, 80, 15, 15, 20},
                                {300, 10, 100, 2100, 50, 10, 10, 10}, {400, 10, 200, 2000, 50, 20, 20, 20}};
    for (int cpu = 0; cpu < 4; ++cpu) {
        stat << "cpu" << cpu;
        for (int field = 0; field < 8; ++field)
            stat << ' ' << n(baseCpu[cpu][field], perCpu[cpu][field]);
        // guest (inside user) and guest_nice (inside nice)
        stat << ' ' << n(baseCpu[cpu][0] / 10, perCpu[cpu][0] / 2) << ' ' << n(cpu, 1) << '\n';
    }
    stat << "intr " << n(132107, 4000) << " 33 9 0\n";
    stat << "ctxt " << n(251465, 3000) << "\nbtime 1796746685\nprocesses " << n(4987, 25) << "\nprocs_running "
         << n(7, 1) << "\nprocs_blocked " << n(2, 1) << "\n";
    machine.Write("proc/stat", stat.str());
    machine.Write("proc/vmstat", "pgpgin 100\npgpgout 200\npswpin " + n(1000, 40) + "\npswpout " + n(500, 20)
                                     + "\npgfault " + n(1425545, 7000) + "\npgmajfault " + n(900, 30) + "\n");
    machine.Write("proc/diskstats",
                  "   8       0 sda " + n(27550, 300) + " 5748 " + n(2017770, 4096) + " " + n(5682, 600) + " "
                      + n(8198, 100) + " 6219 " + n(602664, 2048) + " " + n(4872, 3000) + " " + n(0, 3) + " "
                      + n(4836, 700) + " " + n(11689, 5000) + " 4207 39 107504 866 1005 268\n"
                      + " 259       0 nvme0n1 " + n(5000, 100) + " 0 " + n(400000, 8) + " " + n(900, 1000)
                      + " 2000 0 " + n(100000, 16) + " 300 " + n(0, 1) + " "
                      + std::to_string((4294966796L + 900L * step) % 4294967296L) + " " + n(1200, 1000)
                      + " 0 0 0 0 0 0\n"
                      + " 253       0 dm-0 100 0 2000 10 10 0 80 2 0 12 12 0 0 0 0 0 0\n");
    machine.Write("proc/net/dev",
                  "Inter-|   Receive                                                |  Transmit\n"
                  " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop "
                  "fifo colls carrier compressed\n"
                  "  eth0: " + n(36958825, 250000) + " " + n(1064, 900) + "    2    7    0     0          0         0    "
                      + n(43772, 125000) + " " + n(520, 300) + "    1    3    0     0       0          0\n"
                  " wlan0: " + n(1000000, 1000) + "     100    0    0    0     0          0         0   "
                      + n(500000, 500) + "      50    0    0    0     0       0          0\n");
    const auto pressure = [&n](long some, long someStep, long full, long fullStep) {
        return "some avg10=1.00 avg60=0.50 avg300=0.25 total=" + n(some, someStep)
            + "\nfull avg10=0.10 avg60=0.05 avg300=0.02 total=" + n(full, fullStep) + "\n";
    };
    machine.Write("proc/pressure/cpu", pressure(93045123, 250000, 0, 0));
    machine.Write("proc/pressure/memory", pressure(4067494, 120001, 3451267, 33333));
    machine.Write("proc/pressure/io", pressure(61955081, 1500000, 58578187, 999999));
    machine.Write("proc/net/snmp",
                  "Ip: Forwarding DefaultTTL InReceives InHdrErrors InAddrErrors ForwDatagrams InUnknownProtos "
                  "InDiscards InDelivers OutRequests OutDiscards OutNoRoutes ReasmTimeout ReasmReqds ReasmOKs "
                  "ReasmFails FragOKs FragFails FragCreates OutTransmits\n"
                  "Ip: 1 64 " + n(250000, 3000) + " 12 0 300 0 45 249643 " + n(180000, 2000) + " 3 0 0 0 0 0 0 0 0 180300\n"
                  "Tcp: RtoAlgorithm RtoMin RtoMax MaxConn ActiveOpens PassiveOpens AttemptFails EstabResets CurrEstab "
                  "InSegs OutSegs RetransSegs InErrs OutRsts InCsumErrors\n"
                  "Tcp: 1 200 120000 -1 " + n(1200, 10) + " " + n(800, 6) + " 40 25 " + n(12, 3) + " "
                      + n(200000, 4000) + " " + n(150000, 2500) + " " + n(300, 50) + " 2 90 0\n"
                  "Udp: InDatagrams NoPorts InErrors OutDatagrams RcvbufErrors SndbufErrors InCsumErrors IgnoredMulti "
                  "MemErrors\n"
                  "Udp: " + n(5000, 700) + " " + n(30, 4) + " " + n(7, 1) + " " + n(4000, 300) + " 7 0 0 12 0\n");
    // Sensors: temperatures, a fan and power that move, RAPL energy that rises, a battery that
    // drains.
    machine.Write("sys/class/thermal/thermal_zone0/temp", n(48000, 1500));
    machine.Write("sys/class/hwmon/hwmon1/temp1_input", n(53000, 2000));
    machine.Write("sys/class/hwmon/hwmon2/temp1_input", n(38850, 150));
    machine.Write("sys/class/hwmon/hwmon3/fan1_input", n(2465, 310));
    machine.Write("sys/class/hwmon/hwmon4/power1_average", n(12035000, 2000000));
    machine.Write("sys/class/powercap/intel-rapl:0/energy_uj", n(61803398, 17500000));
    machine.Write("sys/class/powercap/intel-rapl:0:0/energy_uj", n(27182818, 9000000));
    machine.Write("sys/class/powercap/intel-rapl:0:1/energy_uj", n(1414213, 700000));
    machine.Write("sys/class/power_supply/BAT0/energy_now", n(38000000, -50000));
    machine.Write("sys/class/power_supply/BAT0/capacity", std::to_string((38000000 - 50000 * step) / 500000));
    machine.Write("sys/class/power_supply/BAT0/power_now", n(9500000, 250000));
    machine.Write("sys/class/power_supply/BAT0/voltage_now", n(11800000, -3000));
    machine.Write("proc/net/snmp6", "Ip6InReceives                   \t" + n(9000, 100) + "\nIp6OutRequests                  \t"
                                        + n(7000, 80) + "\nUdp6InDatagrams                 \t" + n(600, 40)
                                        + "\nUdp6NoPorts                     \t" + n(4, 2)
                                        + "\nUdp6InErrors                    \t" + n(1, 1)
                                        + "\nUdp6OutDatagrams                \t" + n(500, 30) + "\n");
    const std::string gpu = "sys/devices/pci0000:00/0000:00:03.1/0000:0a:00.0/";
    machine.Write(gpu + "gpu_busy_percent", n(37, 9) + "\n");
    machine.Write(gpu + "mem_info_vram_used", n(1073741824, 1048576) + "\n");
    machine.Write(gpu + "mem_info_gtt_used", n(50331648, 4096) + "\n");
}

} // namespace quel::test
