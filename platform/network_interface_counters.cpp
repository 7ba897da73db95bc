#include "platform/network_interface_counters.h"

#include "platform/exposition_page.h"
#include "platform/rate_baseline.h"
#include "platform/system_snapshot.h"
#include "platform/text_scan.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quel {
namespace {

// A /proc/net/dev field: its position after the interface's name (eight receive fields, then
// the transmit fields, bytes first in each) and the node exporter's series
// node_network_<series>{device="NAME"}.
struct NetDevField {
    std::size_t position;
    std::string_view series;
    std::uint64_t InterfaceStat::*value;
};
enum NetDevIndex : std::size_t { RxBytes, RxPackets, RxErrors, RxDropped, TxBytes, TxPackets, TxErrors, TxDropped, NoField };
constexpr std::array<NetDevField, NoField> NetDevFields = {{
    {0, "receive_bytes_total", &InterfaceStat::rxBytes},
    {1, "receive_packets_total", &InterfaceStat::rxPackets},
    {2, "receive_errs_total", &InterfaceStat::rxErrors},
    {3, "receive_drop_total", &InterfaceStat::rxDropped},
    {8, "transmit_bytes_total", &InterfaceStat::txBytes},
    {9, "transmit_packets_total", &InterfaceStat::txPackets},
    {10, "transmit_errs_total", &InterfaceStat::txErrors},
    {11, "transmit_drop_total", &InterfaceStat::txDropped},
}};
constexpr std::size_t NetDevFieldsRead = 12;
constexpr std::uint32_t EveryNetDevField = (1U << NoField) - 1;

constexpr std::array<CounterInfo, 11> NetworkCounters = {{
    {"Bytes Total/sec", "bytes per second", "The bytes received and sent through the interface per second (/proc/net/dev).",
     "/proc/net/dev: d(receive bytes + transmit bytes) / dt",
     "node_network_receive_bytes_total + node_network_transmit_bytes_total"},
    {"Current Bandwidth", "bits per second", "The interface's link speed in bits per second, where the driver reports one.",
     "/sys/class/net/NAME/speed (Mbit/s) x 1,000,000 when above 0; -1 or unreadable: no value",
     "node_network_speed_bytes x 8"},
    {"Bytes Received/sec", "bytes per second", "The bytes received through the interface per second.",
     "/proc/net/dev: d(receive bytes) / dt", "node_network_receive_bytes_total"},
    {"Bytes Sent/sec", "bytes per second", "The bytes sent through the interface per second.",
     "/proc/net/dev: d(transmit bytes) / dt", "node_network_transmit_bytes_total"},
    {"Packets/sec", "per second", "The packets received and sent through the interface per second.",
     "/proc/net/dev: d(receive packets + transmit packets) / dt",
     "node_network_receive_packets_total + node_network_transmit_packets_total"},
    {"Packets Received/sec", "per second", "The packets received through the interface per second.",
     "/proc/net/dev: d(receive packets) / dt", "node_network_receive_packets_total"},
    {"Packets Sent/sec", "per second", "The packets sent through the interface per second.",
     "/proc/net/dev: d(transmit packets) / dt", "node_network_transmit_packets_total"},
    {"Packets Received Errors", "packets",
     "The received packets the interface found in error since it came up (bad checksum, length, frame).",
     "/proc/net/dev: receive errs", "node_network_receive_errs_total"},
    {"Packets Outbound Errors", "packets", "The packets the interface failed to send because of errors since it came up.",
     "/proc/net/dev: transmit errs", "node_network_transmit_errs_total"},
    {"Packets Received Discarded", "packets",
     "The received packets dropped without an error since the interface came up, for example for lack of buffers.",
     "/proc/net/dev: receive drop", "node_network_receive_drop_total"},
    {"Packets Outbound Discarded", "packets",
     "The packets to send that were dropped without an error since the interface came up.",
     "/proc/net/dev: transmit drop", "node_network_transmit_drop_total"},
}};

enum class NetworkKind { Rate, Total, Bandwidth };
// What a counter computes from the fields first and second (NoField: none).
struct NetworkFormula {
    NetworkKind kind;
    NetDevIndex first = NoField;
    NetDevIndex second = NoField;
};
constexpr std::array<NetworkFormula, NetworkCounters.size()> NetworkFormulas = {{
    {NetworkKind::Rate, RxBytes, TxBytes},
    {NetworkKind::Bandwidth},
    {NetworkKind::Rate, RxBytes},
    {NetworkKind::Rate, TxBytes},
    {NetworkKind::Rate, RxPackets, TxPackets},
    {NetworkKind::Rate, RxPackets},
    {NetworkKind::Rate, TxPackets},
    {NetworkKind::Total, RxErrors},
    {NetworkKind::Total, TxErrors},
    {NetworkKind::Total, RxDropped},
    {NetworkKind::Total, TxDropped},
}};

constexpr std::int64_t LoopbackType = 772;  // ARPHRD_LOOPBACK
constexpr double BitsPerMbit = 1e6;

// The value of a field, when known; 0 for NoField.
bool FieldValue(const InterfaceStat& stat, NetDevIndex field, std::uint64_t& value)
{
    value = 0;
    if (field == NoField)
        return true;
    if ((stat.present >> field & 1U) == 0)
        return false;
    value = stat.*(NetDevFields[field].value);
    return true;
}

class NetworkReader final : public CounterReader {
public:
    NetworkReader(const NetworkFormula& formula, std::string_view instance) : formula_(formula), instance_(instance) {}

    SourceMask Sources() const override { return sources::NetDev; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        NetSource& net = snapshot.Net();
        const InterfaceStat* stat = net.Valid() ? net.Find(instance_) : nullptr;
        if (stat == nullptr) {
            baseline_.Forget();
            return net.Valid() ? perf_status::NoInstance : perf_status::Unreadable;
        }
        if (formula_.kind == NetworkKind::Bandwidth)
            return Bandwidth(net, value);
        RateBaseline<2>::Raw raw{};
        if (!FieldValue(*stat, formula_.first, raw[0]) || !FieldValue(*stat, formula_.second, raw[1])) {
            baseline_.Forget();
            return perf_status::Unreadable;
        }
        if (formula_.kind == NetworkKind::Total) {
            value = static_cast<double>(raw[0]);
            return perf_status::Ok;
        }
        std::uint64_t ifindex = 0;
        if (!net.IfIndex(instance_, ifindex)) {  // gone since /proc/net/dev was read
            baseline_.Forget();
            return perf_status::NoInstance;
        }
        RateBaseline<2>::Raw delta{};
        double seconds = 0.0;
        const PerfStatus status = AdvanceRate(baseline_, ifindex, raw, snapshot.NowNs(), delta, seconds);
        if (status == perf_status::Ok)
            value = (static_cast<double>(delta[0]) + static_cast<double>(delta[1])) / seconds;
        return status;
    }

private:
    PerfStatus Bandwidth(NetSource& net, double& value)
    {
        // -1 (no link), 0, a missing file or EINVAL (a virtual interface): unknown, not 0.
        std::int64_t speed = 0;
        if (!net.SpeedMbits(instance_, speed) || speed <= 0)
            return perf_status::Unreadable;
        value = static_cast<double>(speed) * BitsPerMbit;
        return perf_status::Ok;
    }

    NetworkFormula formula_;
    std::string instance_;
    RateBaseline<2> baseline_;
};

std::unique_ptr<CounterReader> MakeNetworkReader(std::size_t counter, std::string_view instance)
{
    return std::make_unique<NetworkReader>(NetworkFormulas[counter], instance);
}

void ListInterfaces(SystemSnapshot& snapshot, std::vector<std::string>& instances)
{
    snapshot.Net().List(instances);
}

} // namespace

NetSource::NetSource(const std::string& procRoot, const std::string& sysRoot)
    : file_(procRoot + "/net/dev"), sysRoot_(sysRoot)
{
}

void NetSource::Refresh(std::uint64_t collection)
{
    collection_ = collection;
    interfaces_.Clear();
    std::string_view content;
    valid_ = file_.Read(content);
    if (!valid_)
        return;
    for (InterfaceFiles& files : files_)
        files.seen = false;
    // "  eth0: 36958825 1064 0 0 0 0 0 0 43772 520 ...": the name ends at the last ":", then
    // the fields of NetDevFields by position.
    std::string_view line;
    while (text::NextLine(content, line)) {
        const std::size_t colon = line.rfind(':');
        if (colon == std::string_view::npos)
            continue;  // the two header lines
        const std::string_view name = text::Trim(line.substr(0, colon));
        std::string_view rest = line.substr(colon + 1);
        std::array<std::uint64_t, NetDevFieldsRead> fields{};
        bool complete = !name.empty();
        for (std::uint64_t& field : fields)
            complete = complete && text::ParseU64(text::NextField(rest), field);
        if (!complete)
            continue;
        InterfaceStat& stat = interfaces_.Append();
        stat.name.assign(name);
        for (const NetDevField& field : NetDevFields)
            stat.*(field.value) = fields[field.position];
        stat.present = EveryNetDevField;
        for (InterfaceFiles& files : files_) {
            if (files.name == name)
                files.seen = true;
        }
    }
    std::erase_if(files_, [](const InterfaceFiles& files) { return !files.seen; });
}

const InterfaceStat* NetSource::Find(std::string_view name) const
{
    for (const InterfaceStat& stat : interfaces_) {
        if (stat.name == name)
            return &stat;
    }
    return nullptr;
}

void NetSource::List(std::vector<std::string>& names) const
{
    for (const InterfaceStat& stat : interfaces_)
        names.push_back(stat.name);
}

NetSource::InterfaceFiles* NetSource::Files(std::string_view name)
{
    for (InterfaceFiles& files : files_) {
        if (files.name == name)
            return &files;
    }
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos)
        return nullptr;
    const std::string folder = sysRoot_ + "/class/net/" + std::string(name) + "/";
    InterfaceFiles& files = files_.emplace_back();
    files.name.assign(name);
    files.ifindex.SetPath(folder + "ifindex");
    files.speed.SetPath(folder + "speed");
    files.seen = true;
    return &files;
}

bool NetSource::ReadNumber(ProcFile& file, std::int64_t& value)
{
    std::string_view content;
    return file.Read(content) && text::ParseI64(text::Trim(content), value);
}

bool NetSource::IfIndex(std::string_view name, std::uint64_t& index)
{
    InterfaceFiles* files = Files(name);
    if (files == nullptr)
        return false;
    if (files->ifindexCollection != collection_ || collection_ == 0) {
        std::int64_t value = 0;
        files->ifindexValid = ReadNumber(files->ifindex, value) && value > 0;
        files->ifindexValue = static_cast<std::uint64_t>(value);
        files->ifindexCollection = collection_;
    }
    index = files->ifindexValue;
    return files->ifindexValid;
}

bool NetSource::SpeedMbits(std::string_view name, std::int64_t& speed)
{
    InterfaceFiles* files = Files(name);
    if (files == nullptr)
        return false;
    if (files->speedCollection != collection_ || collection_ == 0) {
        files->speedValid = ReadNumber(files->speed, files->speedValue);
        files->speedCollection = collection_;
    }
    speed = files->speedValue;
    return files->speedValid;
}

bool NetSource::IsLoopback(std::string_view name)
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos)
        return false;
    ProcFile type(sysRoot_ + "/class/net/" + std::string(name) + "/type");
    std::int64_t value = 0;
    return ReadNumber(type, value) && value == LoopbackType;
}

// --- a node exporter page ----------------------------------------------------------------------

namespace {
constexpr std::array<std::string_view, 1> NetSeries = {"node_network_"};
constexpr double BytesPerMbit = 125000.0;
} // namespace

std::span<const std::string_view> NetSource::Series() const
{
    return NetSeries;
}

void NetSource::BeginPage(std::uint64_t collection)
{
    valid_ = false;
    collection_ = collection;
    interfaces_.Clear();
    files_.clear();
}

NetSource::InterfaceFiles& NetSource::PageFiles(std::string_view name)
{
    for (InterfaceFiles& known : files_) {
        if (known.name == name)
            return known;
    }
    InterfaceFiles& files = files_.emplace_back();
    files.name.assign(name);
    // Without the interface index the name alone identifies the interface.
    files.ifindexValid = true;
    files.ifindexValue = 1;
    files.ifindexCollection = collection_;
    files.speedCollection = collection_;
    files.seen = true;
    return files;
}

void NetSource::TakeSample(const ExpositionPage& page, const ExpositionSample& sample)
{
    const std::string_view field = sample.name.substr(NetSeries[0].size());
    const std::string_view device = page.Label(sample, "device");
    if (device.empty())
        return;
    const double value = sample.value;
    if (const auto row = std::ranges::find(NetDevFields, field, &NetDevField::series); row != NetDevFields.end()) {
        std::uint64_t count = 0;
        if (!PageCount(value, 1.0, count))
            return;
        bool added = false;
        InterfaceStat& stat = FindOrAppendNamed(interfaces_, device, added);
        stat.*(row->value) = count;
        stat.present |= 1U << (row - NetDevFields.begin());
    } else if (field == "iface_id") {
        InterfaceFiles& files = PageFiles(device);
        files.ifindexValid = std::isfinite(value) && value >= 1.0 && value < 4.0e9;
        files.ifindexValue = files.ifindexValid ? static_cast<std::uint64_t>(value) : 0;
    } else if (field == "speed_bytes") {
        InterfaceFiles& files = PageFiles(device);
        files.speedValid = std::isfinite(value) && std::fabs(value) < 1e18;
        files.speedValue = files.speedValid ? std::llround(value / BytesPerMbit) : 0;
    }
}

void NetSource::EndPage()
{
    for (const InterfaceStat& stat : interfaces_)
        PageFiles(stat.name);
    valid_ = !interfaces_.Empty();
}

const ObjectFamily& NetworkInterfaceFamily()
{
    static constexpr ObjectFamily family{
        "Network Interface",
        "The network interfaces of /proc/net/dev, the loopback one included.",
        NetworkCounters, true, sources::NetDev, MakeNetworkReader, ListInterfaces};
    return family;
}

} // namespace quel
