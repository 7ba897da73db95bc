// Pages that a broken or hostile endpoint might send go through the feed and every reader
// without harm: no crash, no value that is not a number, no table sized by the page.

#include "platform/exposition_page.h"
#include "platform/node_exporter_feed.h"
#include "platform/object_catalog.h"
#include "platform/system_snapshot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace quel {
namespace {

TEST(NodeExporterFeed, HostilePagesGiveFailedReadsOrFiniteValues)
{
    const char* const values[] = {"0", "1", "-1", "NaN", "+Inf", "-Inf", "1e308", "-1e308", "1.8e19", "4294967296",
                                  "123.456", "1e-300"};
    const char* const labels[] = {"0", "1", "65535", "65536", "99999999999999999999", "-1", "", "_Total", "/",
                                  "/dev/sda2", "lo", "dm-0", "a\\\"b"};
    const char* const metrics[] = {
        "node_cpu_seconds_total{cpu=\"%l\",mode=\"user\"}", "node_cpu_seconds_total{cpu=\"%l\",mode=\"idle\"}",
        "node_cpu_seconds_total{cpu=\"%l\",mode=\"bogus\"}", "node_memory_MemTotal_bytes",
        "node_memory_SwapTotal_bytes", "node_memory_SwapFree_bytes", "node_memory_Committed_AS_bytes",
        "node_vmstat_pswpin", "node_vmstat_pgfault", "node_context_switches_total", "node_procs_running",
        "node_processes_threads", "node_processes_pids", "node_boot_time_seconds", "node_time_seconds",
        "node_filesystem_size_bytes{device=\"%l\",fstype=\"ext4\",mountpoint=\"%l\"}",
        "node_filesystem_avail_bytes{device=\"%l\",fstype=\"ext4\",mountpoint=\"%l\"}",
        "node_filesystem_free_bytes{device=\"%l\",fstype=\"tmpfs\",mountpoint=\"%l\"}",
        "node_disk_io_time_seconds_total{device=\"%l\"}", "node_disk_read_bytes_total{device=\"%l\"}",
        "node_disk_reads_completed_total{device=\"%l\"}", "node_disk_read_time_seconds_total{device=\"%l\"}",
        "node_disk_io_now{device=\"%l\"}", "node_disk_io_time_weighted_seconds_total{device=\"%l\"}",
        "node_disk_info{device=\"%l\",major=\"%l\",minor=\"%l\"}", "node_network_receive_bytes_total{device=\"%l\"}",
        "node_network_speed_bytes{device=\"%l\"}", "node_network_iface_id{device=\"%l\"}",
        "node_cpu_guest_seconds_total{cpu=\"%l\",mode=\"user\"}", "node_interrupts_total{cpu=\"%l\",type=\"LOC\"}",
        "node_intr_total", "node_forks_total", "node_procs_blocked", "node_memory_SReclaimable_bytes",
        "node_memory_Cached_bytes", "node_vmstat_pgmajfault",
        "node_pressure_cpu_waiting_seconds_total", "node_pressure_cpu_stalled_seconds_total",
        "node_pressure_io_stalled_seconds_total",
        "node_thermal_zone_temp{type=\"%l\",zone=\"%l\"}", "node_hwmon_temp_celsius{chip=\"%l\",sensor=\"temp%l\"}",
        "node_hwmon_chip_names{chip=\"%l\",chip_name=\"%l\"}", "node_hwmon_power_watt{chip=\"%l\",sensor=\"power%l\"}",
        "node_hwmon_sensor_label{chip=\"%l\",label=\"%l\",sensor=\"fan%l\"}", "node_hwmon_fan_rpm{chip=\"%l\",sensor=\"fan%l\"}",
        "node_rapl_core_joules_total{index=\"%l\",path=\"%l\"}",
        "node_power_supply_info{power_supply=\"%l\",status=\"Discharging\",type=\"Battery\"}",
        "node_power_supply_info{power_supply=\"%l\",status=\"Charging\",type=\"Battery\"}",
        "node_power_supply_power_watt{power_supply=\"%l\"}", "node_power_supply_energy_watthour{power_supply=\"%l\"}",
        "node_power_supply_energy_full{power_supply=\"%l\"}", "node_power_supply_current_ampere{power_supply=\"%l\"}",
        "node_power_supply_voltage_volt{power_supply=\"%l\"}", "node_power_supply_capacity{power_supply=\"%l\"}",
    };
    std::mt19937 random(99);
    const auto pick = [&](const auto& list) { return std::string(list[random() % std::size(list)]); };
    std::vector<std::pair<const ObjectFamily*, std::unique_ptr<CounterReader>>> readers;
    for (const ObjectFamily* family : ObjectCatalog()) {
        for (std::size_t counter = 0; counter < family->counters.size(); ++counter) {
            for (const char* instance : {"0", "65535", "_Total", "/", "/dev/sda2", "lo", "a\"b", "", "cpu", "io", "core",
                                         "lo fan1", "0 fan1"})
                readers.emplace_back(family, family->makeReader(counter, family->hasInstances ? instance : ""));
        }
    }
    SystemSnapshot snapshot(FedSnapshotOptions());
    ExpositionPage page;
    std::int64_t time = 0;
    for (int round = 0; round < 400; ++round) {
        std::string text;
        for (int line = 0; line < 60; ++line) {
            std::string metric = pick(metrics);
            for (std::size_t at; (at = metric.find("%l")) != std::string::npos;)
                metric.replace(at, 2, pick(labels));
            text += metric + " " + pick(values) + "\n";
        }
        page.Parse(std::move(text));
        time += static_cast<std::int64_t>(random() % 3) * 500'000'000;  // sometimes no time passes
        NodeExporterFeed::Apply(page, time, snapshot);
        for (auto& [family, reader] : readers) {
            double value = 0.0;
            if (reader->Sample(snapshot, value) == perf_status::Ok) {
                ASSERT_TRUE(std::isfinite(value)) << family->name << " round " << round;
            }
        }
        std::vector<std::string> instances;
        for (const ObjectFamily* family : ObjectCatalog())
            family->listInstances(snapshot, instances);
        ASSERT_LT(instances.size(), 1000u);
    }
}

// A page's sensors: zones in the order of their numbers, a chip's name and labels from their
// own series, the average power before the instant one, RAPL packages named as on the
// computer, and only the power supplies of type Battery.
TEST(NodeExporterFeed, SensorsAreNamedAndScaledAsTheirFilesAre)
{
    SystemSnapshot snapshot(FedSnapshotOptions());
    ExpositionPage page;
    page.Parse("node_hwmon_chip_names{chip=\"pci0000:00_0000:03:00_0\",chip_name=\"amdgpu\"} 1\n"
               "node_hwmon_power_average_watt{chip=\"pci0000:00_0000:03:00_0\",sensor=\"power1\"} 25.5\n"
               "node_hwmon_power_watt{chip=\"pci0000:00_0000:03:00_0\",sensor=\"power1\"} 99\n"
               "node_hwmon_sensor_label{chip=\"pci0000:00_0000:03:00_0\",label=\"PPT\",sensor=\"power1\"} 1\n"
               "node_hwmon_temp_celsius{chip=\"pci0000:00_0000:03:00_0\",sensor=\"temp1\"} 41.5\n"
               "node_power_supply_info{power_supply=\"AC\",type=\"Mains\"} 1\n"
               "node_power_supply_info{power_supply=\"BAT0\",status=\"Discharging\",type=\"Battery\"} 1\n"
               "node_power_supply_online{power_supply=\"AC\"} 1\n"
               "node_power_supply_power_watt{power_supply=\"BAT0\"} 9.5\n"
               "node_rapl_package_joules_total{index=\"1\",path=\"/sys/class/powercap/intel-rapl:1\"} 10\n"
               "node_thermal_zone_temp{type=\"acpitz\",zone=\"10\"} 50\n"
               "node_thermal_zone_temp{type=\"x86_pkg_temp\",zone=\"2\"} 60\n");
    NodeExporterFeed::Apply(page, 1'000'000'000, snapshot);
    const auto instances = [&snapshot](std::string_view object) {
        std::vector<std::string> names;
        FindObjectFamily(object)->listInstances(snapshot, names);
        return names;
    };
    EXPECT_EQ(instances("Thermal Zone Information"),
              (std::vector<std::string>{"x86_pkg_temp", "acpitz", "amdgpu temp1"}));
    EXPECT_EQ(instances("Power Meter"), (std::vector<std::string>{"package-1", "amdgpu PPT"}));
    EXPECT_EQ(instances("Battery"), (std::vector<std::string>{"BAT0"}));
    double value = 0.0;
    ASSERT_EQ(FindObjectFamily("Power Meter")->makeReader(0, "amdgpu PPT")->Sample(snapshot, value), perf_status::Ok);
    EXPECT_DOUBLE_EQ(value, 25500.0);
    ASSERT_EQ(FindObjectFamily("Thermal Zone Information")->makeReader(0, "amdgpu temp1")->Sample(snapshot, value),
              perf_status::Ok);
    EXPECT_DOUBLE_EQ(value, 41.5);
    ASSERT_EQ(FindObjectFamily("Battery")->makeReader(1, "BAT0")->Sample(snapshot, value), perf_status::Ok);
    EXPECT_DOUBLE_EQ(value, -9500.0);
}

// Node exporter 1.5 serves no cpu "full" total, newer ones do; totals come in seconds.
TEST(NodeExporterFeed, PressureTotalsInSecondsAndTheCpuFullSeriesWhereServed)
{
    SystemSnapshot snapshot(FedSnapshotOptions());
    const auto feed = [&snapshot](std::int64_t timeNs, double cpuSome, const std::string& cpuFull) {
        ExpositionPage page;
        page.Parse("node_pressure_cpu_waiting_seconds_total " + std::to_string(cpuSome) + "\n"
                   + (cpuFull.empty() ? "" : "node_pressure_cpu_stalled_seconds_total " + cpuFull + "\n")
                   + "node_pressure_memory_waiting_seconds_total 3.4512669999999996\n");
        NodeExporterFeed::Apply(page, timeNs, snapshot);
    };
    const ObjectFamily& family = *FindObjectFamily("Pressure");
    auto cpuSome = family.makeReader(0, "cpu");
    auto cpuFull = family.makeReader(1, "cpu");
    auto memoryFull = family.makeReader(1, "memory");
    double value = 0.0;
    feed(1'000'000'000, 93.045123, "0");
    EXPECT_EQ(cpuSome->Sample(snapshot, value), perf_status::NoData);
    EXPECT_EQ(cpuFull->Sample(snapshot, value), perf_status::NoData);
    std::vector<std::string> instances;
    family.listInstances(snapshot, instances);
    EXPECT_EQ(instances, (std::vector<std::string>{"cpu", "memory"})) << "io has no series on the page";

    feed(3'000'000'000, 93.545123, "0");
    ASSERT_EQ(cpuSome->Sample(snapshot, value), perf_status::Ok);
    EXPECT_DOUBLE_EQ(value, 25.0);
    ASSERT_EQ(cpuFull->Sample(snapshot, value), perf_status::Ok);
    EXPECT_DOUBLE_EQ(value, 0.0);
    EXPECT_EQ(memoryFull->Sample(snapshot, value), perf_status::Unreadable) << "no stalled series for memory";

    feed(4'000'000'000, 93.645123, "");
    EXPECT_EQ(cpuFull->Sample(snapshot, value), perf_status::Unreadable);
    ASSERT_EQ(cpuSome->Sample(snapshot, value), perf_status::Ok);
    EXPECT_DOUBLE_EQ(value, 10.0);
}

// A page without a series (an older or filtered exporter) leaves the counters that need it
// failing rather than reading it as 0.
TEST(NodeExporterFeed, ADiskSeriesThePageLacksFailsTheCountersThatNeedIt)
{
    const ObjectFamily& disks = *FindObjectFamily("PhysicalDisk");
    std::unique_ptr<CounterReader> reads = disks.makeReader(*FindCounterIndex(disks, "Disk Reads/sec"), "sda");
    std::unique_ptr<CounterReader> readTime = disks.makeReader(*FindCounterIndex(disks, "Avg. Disk sec/Read"), "sda");
    std::unique_ptr<CounterReader> queue = disks.makeReader(*FindCounterIndex(disks, "Avg. Disk Queue Length"), "_Total");
    SystemSnapshot snapshot(FedSnapshotOptions());
    ExpositionPage page;
    double value = 0.0;
    double other = 0.0;
    PerfStatus status = perf_status::NoData;
    for (const auto& [seconds, count] : {std::pair{0, "100"}, std::pair{1, "300"}}) {
        page.Parse(std::string("node_disk_reads_completed_total{device=\"sda\"} ") + count + "\n");
        NodeExporterFeed::Apply(page, seconds * 1'000'000'000LL, snapshot);
        status = reads->Sample(snapshot, value);
        EXPECT_EQ(readTime->Sample(snapshot, other), perf_status::Unreadable);
        EXPECT_EQ(queue->Sample(snapshot, other), perf_status::Unreadable);
    }
    ASSERT_EQ(status, perf_status::Ok);
    EXPECT_DOUBLE_EQ(value, 200.0);
}

} // namespace
} // namespace quel
