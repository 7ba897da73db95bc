// Parsing a node exporter page of about 2,000 lines (100 KB) into the counters of one profile:
// the exposition parser, the feed into a snapshot and the counters' readers, as a remote
// computer's collection does them (the HTTP transfer left out).
//
//   build/bench/remote_parse_bench --benchmark_min_time=2

#include "platform/counter_path.h"
#include "platform/exposition_page.h"
#include "platform/node_exporter_feed.h"
#include "platform/object_catalog.h"
#include "platform/system_snapshot.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A page shaped like a 16-CPU server's: HELP and TYPE lines, the families our counters read,
// and the many families they do not (go runtime, netstat, scrape durations, ...).
std::string NodeExporterPage()
{
    std::string page;
    auto family = [&](const std::string& name, const char* type) {
        page += "# HELP " + name + " Metric " + name + " as the node exporter describes it.\n";
        page += "# TYPE " + name + " " + type + "\n";
    };
    family("node_cpu_seconds_total", "counter");
    const char* const modes[] = {"idle", "iowait", "irq", "nice", "softirq", "steal", "system", "user"};
    for (int cpu = 0; cpu < 16; ++cpu) {
        for (const char* mode : modes)
            page += "node_cpu_seconds_total{cpu=\"" + std::to_string(cpu) + "\",mode=\"" + mode + "\"} "
                + std::to_string(123456.78 + cpu * 17 + mode[0]) + "\n";
    }
    for (const char* name : {"MemTotal", "MemFree", "MemAvailable", "SwapTotal", "SwapFree", "CommitLimit",
                             "Committed_AS", "Buffers", "Cached", "Active", "Inactive", "Dirty", "Slab"}) {
        family(std::string("node_memory_") + name + "_bytes", "gauge");
        page += std::string("node_memory_") + name + "_bytes 1.6777216e+10\n";
    }
    for (const char* name : {"pswpin", "pswpout", "pgfault", "pgmajfault", "pgpgin", "pgpgout", "oom_kill"}) {
        family(std::string("node_vmstat_") + name, "untyped");
        page += std::string("node_vmstat_") + name + " 1.425545e+06\n";
    }
    family("node_context_switches_total", "counter");
    page += "node_context_switches_total 2.51465e+08\n";
    family("node_procs_running", "gauge");
    page += "node_procs_running 7\n";
    family("node_boot_time_seconds", "gauge");
    page += "node_boot_time_seconds 1.796746685e+09\n";
    family("node_time_seconds", "gauge");
    page += "node_time_seconds 1.7967834856259742e+09\n";
    const char* const mounts[][3] = {{"/dev/sda2", "ext4", "/"},         {"/dev/sda1", "vfat", "/boot/efi"},
                                     {"/dev/nvme0n1p1", "xfs", "/home"}, {"tmpfs", "tmpfs", "/run"},
                                     {"tmpfs", "tmpfs", "/run/lock"},    {"/dev/sdb1", "ext4", "/srv/data"}};
    for (const char* field : {"avail_bytes", "device_error", "files", "files_free", "free_bytes", "readonly",
                              "size_bytes"}) {
        family(std::string("node_filesystem_") + field, "gauge");
        for (const auto& mount : mounts)
            page += std::string("node_filesystem_") + field + "{device=\"" + mount[0] + "\",fstype=\"" + mount[1]
                + "\",mountpoint=\"" + mount[2] + "\"} 8.2979721216e+10\n";
    }
    const char* const disks[] = {"sda", "sdb", "nvme0n1", "dm-0"};
    for (const char* field : {"io_time_seconds_total", "read_bytes_total", "written_bytes_total",
                              "reads_completed_total", "writes_completed_total", "io_time_weighted_seconds_total",
                              "read_time_seconds_total", "write_time_seconds_total", "io_now"}) {
        family(std::string("node_disk_") + field, "counter");
        for (const char* disk : disks)
            page += std::string("node_disk_") + field + "{device=\"" + disk + "\"} 1.03309824e+09\n";
    }
    const char* const interfaces[] = {"lo", "eth0", "eth1", "docker0", "wlan0"};
    for (const char* field : {"receive_bytes_total", "transmit_bytes_total", "receive_packets_total",
                              "transmit_packets_total", "receive_errs_total", "transmit_errs_total",
                              "receive_drop_total", "transmit_drop_total", "iface_id", "speed_bytes", "mtu_bytes",
                              "up"}) {
        family(std::string("node_network_") + field, "gauge");
        for (const char* interface : interfaces)
            page += std::string("node_network_") + field + "{device=\"" + interface + "\"} 9.452999e+07\n";
    }
    for (const char* name : {"Ip_Forwarding", "Ip6_InOctets", "Ip6_OutOctets", "IpExt_InOctets", "IpExt_OutOctets",
                             "Tcp_ActiveOpens", "Tcp_CurrEstab", "Tcp_InErrs", "Tcp_InSegs", "Tcp_OutRsts",
                             "Tcp_OutSegs", "Tcp_PassiveOpens", "Tcp_RetransSegs", "Udp6_InDatagrams",
                             "Udp6_InErrors", "Udp6_NoPorts", "Udp6_OutDatagrams", "Udp_InDatagrams", "Udp_InErrors",
                             "Udp_NoPorts", "Udp_OutDatagrams"}) {
        family(std::string("node_netstat_") + name, "untyped");
        page += std::string("node_netstat_") + name + " 7.77e+06\n";
    }
    for (const char* name : {"cpu_waiting", "memory_waiting", "memory_stalled", "io_waiting", "io_stalled"}) {
        family(std::string("node_pressure_") + name + "_seconds_total", "counter");
        page += std::string("node_pressure_") + name + "_seconds_total 1234.5678\n";
    }
    for (const char* name : {"intr_total", "forks_total", "procs_blocked"}) {
        family(std::string("node_") + name, "counter");
        page += std::string("node_") + name + " 9.87654e+06\n";
    }
    // Filler families until the page has about 2,000 lines.
    for (int i = 0; page.size() < 100 * 1024; ++i) {
        const std::string name = "node_netstat_Tcp_Ext_Counter" + std::to_string(i);
        family(name, "untyped");
        page += name + " " + std::to_string(i * 31) + "\n";
        page += "go_gc_duration_seconds{quantile=\"0." + std::to_string(i % 10) + "\"} 2.5e-05\n";
        page += "node_scrape_collector_duration_seconds{collector=\"c" + std::to_string(i) + "\"} 0.000123\n";
    }
    return page;
}

// The counters of a typical profile (the standard set on a 4-CPU machine and a few more).
const char* const ProfileCounters[][2] = {
    {"Processor", "0"}, {"Processor", "1"}, {"Processor", "2"}, {"Processor", "3"}, {"Processor", "_Total"},
    {"Memory", ""},     {"Paging File", "_Total"}, {"LogicalDisk", "_Total"}, {"PhysicalDisk", "_Total"},
    {"Network Interface", "eth0"},
};

void Measure(benchmark::State& state, const std::string& text, quel::ExpositionPage& page,
             quel::SystemSnapshot& snapshot, std::vector<std::unique_ptr<quel::CounterReader>>& readers);

void ParseNodeExporterPage(benchmark::State& state)
{
    const std::string text = NodeExporterPage();
    quel::ExpositionPage page;
    quel::SystemSnapshot snapshot(quel::FedSnapshotOptions());
    std::vector<std::unique_ptr<quel::CounterReader>> readers;
    for (const auto& counter : ProfileCounters)
        readers.push_back(quel::FindObjectFamily(counter[0])->makeReader(0, counter[1]));
    page.Parse(text);
    Measure(state, text, page, snapshot, readers);
}
BENCHMARK(ParseNodeExporterPage)->Unit(benchmark::kMicrosecond);

// A profile of 32 counters spread over every object family a node exporter serves.
const char* const EveryFamilyCounters[] = {
    "\\Processor(_Total)\\% Processor Time", "\\Processor(_Total)\\% DPC Time", "\\Processor(_Total)\\% I/O Wait Time",
    "\\Processor(_Total)\\Interrupts/sec", "\\Processor(3)\\% Steal Time", "\\Memory\\Available MBytes",
    "\\Memory\\Cache Bytes", "\\Memory\\Modified Page List Bytes", "\\Memory\\Page Reads/sec", "\\Memory\\Pages/sec",
    "\\Paging File(_Total)\\% Usage", "\\System\\Context Switches/sec", "\\System\\Forks/sec",
    "\\System\\Procs Blocked", "\\System\\System Up Time", "\\System\\Processor Queue Length",
    "\\PhysicalDisk(_Total)\\Disk Transfers/sec", "\\PhysicalDisk(_Total)\\Avg. Disk sec/Transfer",
    "\\PhysicalDisk(sda)\\Avg. Disk Queue Length", "\\LogicalDisk(_Total)\\% Free Space", "\\LogicalDisk(/)\\Free Megabytes",
    "\\Network Interface(eth0)\\Bytes Received/sec", "\\Network Interface(eth0)\\Packets/sec", "\\IPv4\\Datagrams/sec",
    "\\IPv6\\Datagrams/sec", "\\UDPv4\\Datagrams/sec", "\\TCP\\Connections Established",
    "\\TCP\\Segments Retransmitted/sec", "\\TCP\\% Segments Retransmitted", "\\Pressure(cpu)\\% Some Stalled",
    "\\Pressure(memory)\\% Some Stalled", "\\Pressure(io)\\% Full Stalled",
};

void ParseNodeExporterPageEveryFamily(benchmark::State& state)
{
    const std::string text = NodeExporterPage();
    quel::ExpositionPage page;
    quel::SystemSnapshot snapshot(quel::FedSnapshotOptions());
    std::vector<std::unique_ptr<quel::CounterReader>> readers;
    for (const char* path : EveryFamilyCounters) {
        quel::CounterPath parts;
        const quel::ObjectFamily* family = quel::ParseCounterPath(path, parts) ? quel::FindObjectFamily(parts.object) : nullptr;
        const auto index = family != nullptr ? quel::FindCounterIndex(*family, parts.counter) : std::nullopt;
        if (!index) {
            state.SkipWithError((std::string("no such counter: ") + path).c_str());
            return;
        }
        readers.push_back(family->makeReader(*index, parts.instance));
    }
    page.Parse(text);
    Measure(state, text, page, snapshot, readers);
}
BENCHMARK(ParseNodeExporterPageEveryFamily)->Unit(benchmark::kMicrosecond);

void Measure(benchmark::State& state, const std::string& text, quel::ExpositionPage& page,
             quel::SystemSnapshot& snapshot, std::vector<std::unique_ptr<quel::CounterReader>>& readers)
{
    std::size_t lines = 0;
    for (const char c : text)
        lines += c == '\n';
    const std::size_t samples = page.Samples().size();
    std::string buffer;
    std::int64_t time = 0;
    for (auto _ : state) {
        buffer.assign(text);  // the fetch writes the page into the reused buffer
        page.Parse(std::move(buffer));
        quel::NodeExporterFeed::Apply(page, time += 1'000'000'000, snapshot);
        for (const auto& reader : readers) {
            double value = 0.0;
            benchmark::DoNotOptimize(reader->Sample(snapshot, value));
        }
        buffer = page.TakeText();
    }
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["bytes"] = static_cast<double>(text.size());
    state.counters["samples"] = static_cast<double>(samples);
    state.counters["counters"] = static_cast<double>(readers.size());
}

} // namespace

BENCHMARK_MAIN();
