#include "platform/network_interface_counters.h"

#include "platform/exposition_page.h"
#include "platform/rate_baseline.h"
#include "platform/system_snapshot.h"
#include "platform/text_scan.h"

#include <array>
#include <cmath>

namespace quel {
namespace {

enum class NetworkCounter { BytesTotal, CurrentBandwidth };

constexpr std::array<CounterSpec, 2> NetworkCounters = {{
    {"Bytes Total/sec", "bytes per second", "The bytes received and sent through the interface per second (/proc/net/dev).",
     "/proc/net/dev: d(receive bytes + transmit bytes) / dt",
     "node_network_receive_bytes_total + node_network_transmit_bytes_total"},
    {"Current Bandwidth", "bits per second", "The interface's link speed in bits per second, where the driver reports one.",
     "/sys/class/net/NAME/speed (Mbit/s) x 1,000,000 when above 0; -1 or unreadable: no value",
     "node_network_speed_bytes x 8"},
}};

constexpr std::int64_t LoopbackType = 772;  // ARPHRD_LOOPBACK
constexpr double BitsPerMbit = 1e6;

class NetworkReader final : public CounterReader {
public:
    NetworkReader(NetworkCounter counter, std::string_view instance) : counter_(counter), instance_(instance) {}

    SourceMask Sources() const override { return sources::NetDev; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        NetSource& net = snapshot.Net();
        const InterfaceStat* stat = net.Valid() ? net.Find(instance_) : nullptr;
        if (stat == nullptr) {
            baseline_.Forget();
            return net.Valid() ? perf_status::NoInstance : perf_status::Unreadable;
        }
        if (counter_ == NetworkCounter::CurrentBandwidth)
            return Bandwidth(net, value);
        std::uint64_t ifindex = 0;
        if (!net.IfIndex(instance_, ifindex)) {  // gone since /proc/net/dev was read
            baseline_.Forget();
            return perf_status::NoInstance;
        }
        RateBaseline<2>::Raw delta{};
        double seconds = 0.0;
        const PerfStatus status =
            AdvanceRate(baseline_, ifindex, {stat->rxBytes, stat->txBytes}, snapshot.NowNs(), delta, seconds);
        if (status == perf_status::Ok)
            value = static_cast<double>(delta[0] + delta[1]) / seconds;
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

    NetworkCounter counter_;
    std::string instance_;
    RateBaseline<2> baseline_;
};

std::unique_ptr<CounterReader> MakeNetworkReader(std::size_t counter, std::string_view instance)
{
    return std::make_unique<NetworkReader>(static_cast<NetworkCounter>(counter), instance);
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
    // eight receive fields (bytes first) and the transmit fields (bytes first).
    std::string_view line;
    while (text::NextLine(content, line)) {
        const std::size_t colon = line.rfind(':');
        if (colon == std::string_view::npos)
            continue;  // the two header lines
        const std::string_view name = text::Trim(line.substr(0, colon));
        std::string_view rest = line.substr(colon + 1);
        std::array<std::uint64_t, 9> fields{};
        bool complete = !name.empty();
        for (std::uint64_t& field : fields)
            complete = complete && text::ParseU64(text::NextField(rest), field);
        if (!complete)
            continue;
        InterfaceStat& stat = interfaces_.Append();
        stat.name.assign(name);
        stat.rxBytes = fields[0];
        stat.txBytes = fields[8];
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
    if (field == "receive_bytes_total" || field == "transmit_bytes_total") {
        std::uint64_t count = 0;
        if (!PageCount(value, 1.0, count))
            return;
        bool added = false;
        InterfaceStat& stat = FindOrAppendNamed(interfaces_, device, added);
        (field[0] == 'r' ? stat.rxBytes : stat.txBytes) = count;
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
