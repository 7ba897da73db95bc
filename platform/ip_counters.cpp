#include "platform/ip_counters.h"

#include "platform/exposition_page.h"
#include "platform/rate_baseline.h"
#include "platform/system_snapshot.h"
#include "platform/text_scan.h"

namespace quel {
namespace {

using enum SnmpField;

constexpr std::array<SnmpFieldName, 17> SnmpFields = {{
    {IpInReceives, "Ip", "InReceives"},
    {IpOutRequests, "Ip", "OutRequests"},
    {IpInDiscards, "Ip", "InDiscards"},
    {IpInHdrErrors, "Ip", "InHdrErrors"},
    {IpForwDatagrams, "Ip", "ForwDatagrams"},
    {TcpCurrEstab, "Tcp", "CurrEstab"},
    {TcpActiveOpens, "Tcp", "ActiveOpens"},
    {TcpPassiveOpens, "Tcp", "PassiveOpens"},
    {TcpAttemptFails, "Tcp", "AttemptFails"},
    {TcpEstabResets, "Tcp", "EstabResets"},
    {TcpInSegs, "Tcp", "InSegs"},
    {TcpOutSegs, "Tcp", "OutSegs"},
    {TcpRetransSegs, "Tcp", "RetransSegs"},
    {UdpInDatagrams, "Udp", "InDatagrams"},
    {UdpOutDatagrams, "Udp", "OutDatagrams"},
    {UdpNoPorts, "Udp", "NoPorts"},
    {UdpInErrors, "Udp", "InErrors"},
}};

constexpr std::array<SnmpFieldName, 9> Snmp6Fields = {{
    {Ip6InReceives, "Ip6", "InReceives"},
    {Ip6OutRequests, "Ip6", "OutRequests"},
    {Ip6InDiscards, "Ip6", "InDiscards"},
    {Ip6InHdrErrors, "Ip6", "InHdrErrors"},
    {Ip6OutForwDatagrams, "Ip6", "OutForwDatagrams"},
    {Udp6InDatagrams, "Udp6", "InDatagrams"},
    {Udp6OutDatagrams, "Udp6", "OutDatagrams"},
    {Udp6NoPorts, "Udp6", "NoPorts"},
    {Udp6InErrors, "Udp6", "InErrors"},
}};

constexpr std::string_view NetstatPrefix = "node_netstat_";
constexpr std::array<std::string_view, 3> SnmpSeries = {"node_netstat_Ip_", "node_netstat_Tcp_", "node_netstat_Udp_"};
constexpr std::array<std::string_view, 2> Snmp6Series = {"node_netstat_Ip6_", "node_netstat_Udp6_"};

// --- counters --------------------------------------------------------------------------------

enum class SnmpKind {
    Rate,     // d(first + second) / dt
    Count,    // first, as it is (a total since boot or a gauge)
    Percent,  // 100 x d(first) / d(second)
};

struct SnmpFormula {
    SnmpKind kind;
    SnmpField first;
    SnmpField second = None;
};

// An object: its counters and, in the same order, their formulas over one file's fields.
struct SnmpObject {
    std::span<const CounterInfo> counters;
    std::span<const SnmpFormula> formulas;
    SourceMask source;  // sources::NetSnmp or sources::NetSnmp6
};

constexpr std::array<CounterInfo, 6> IPv4Counters = {{
    {"Datagrams/sec", "per second",
     "The IPv4 datagrams received from and sent to the interfaces per second, those in error included; forwarded "
     "datagrams are not counted.",
     "/proc/net/snmp Ip: d(InReceives + OutRequests) / dt", ""},
    {"Datagrams Received/sec", "per second", "The IPv4 datagrams received from the interfaces per second, those in error included.",
     "/proc/net/snmp Ip: d(InReceives) / dt", ""},
    {"Datagrams Sent/sec", "per second",
     "The IPv4 datagrams that local protocols handed to IP for sending per second; forwarded datagrams are not counted.",
     "/proc/net/snmp Ip: d(OutRequests) / dt", ""},
    {"Datagrams Received Discarded", "datagrams",
     "The received IPv4 datagrams dropped although no error was found in them (for example for lack of buffer "
     "space) since the system started.",
     "/proc/net/snmp Ip: InDiscards", ""},
    {"Datagrams Received Header Errors", "datagrams",
     "The received IPv4 datagrams dropped for errors in their headers (bad checksum or version, time to live "
     "exceeded) since the system started.",
     "/proc/net/snmp Ip: InHdrErrors", ""},
    {"Datagrams Forwarded/sec", "per second",
     "The IPv4 datagrams per second that were addressed to another computer and forwarded toward it.",
     "/proc/net/snmp Ip: d(ForwDatagrams) / dt", ""},
}};
constexpr std::array<SnmpFormula, IPv4Counters.size()> IPv4Formulas = {{
    {SnmpKind::Rate, IpInReceives, IpOutRequests},
    {SnmpKind::Rate, IpInReceives},
    {SnmpKind::Rate, IpOutRequests},
    {SnmpKind::Count, IpInDiscards},
    {SnmpKind::Count, IpInHdrErrors},
    {SnmpKind::Rate, IpForwDatagrams},
}};

constexpr std::array<CounterInfo, 6> IPv6Counters = {{
    {"Datagrams/sec", "per second",
     "The IPv6 datagrams received from and sent to the interfaces per second, those in error included; forwarded "
     "datagrams are not counted.",
     "/proc/net/snmp6: d(Ip6InReceives + Ip6OutRequests) / dt", ""},
    {"Datagrams Received/sec", "per second", "The IPv6 datagrams received from the interfaces per second, those in error included.",
     "/proc/net/snmp6: d(Ip6InReceives) / dt", ""},
    {"Datagrams Sent/sec", "per second",
     "The IPv6 datagrams that local protocols handed to IP for sending per second; forwarded datagrams are not counted.",
     "/proc/net/snmp6: d(Ip6OutRequests) / dt", ""},
    {"Datagrams Received Discarded", "datagrams",
     "The received IPv6 datagrams dropped although no error was found in them (for example for lack of buffer "
     "space) since the system started.",
     "/proc/net/snmp6: Ip6InDiscards", ""},
    {"Datagrams Received Header Errors", "datagrams",
     "The received IPv6 datagrams dropped for errors in their headers (bad version, hop limit exceeded) since the "
     "system started.",
     "/proc/net/snmp6: Ip6InHdrErrors", ""},
    {"Datagrams Forwarded/sec", "per second",
     "The IPv6 datagrams per second that were addressed to another computer and forwarded toward it.",
     "/proc/net/snmp6: d(Ip6OutForwDatagrams) / dt", ""},
}};
constexpr std::array<SnmpFormula, IPv6Counters.size()> IPv6Formulas = {{
    {SnmpKind::Rate, Ip6InReceives, Ip6OutRequests},
    {SnmpKind::Rate, Ip6InReceives},
    {SnmpKind::Rate, Ip6OutRequests},
    {SnmpKind::Count, Ip6InDiscards},
    {SnmpKind::Count, Ip6InHdrErrors},
    {SnmpKind::Rate, Ip6OutForwDatagrams},
}};

constexpr std::array<CounterInfo, 5> UDPv4Counters = {{
    {"Datagrams/sec", "per second", "The UDP datagrams over IPv4 delivered to applications and sent by them per second.",
     "/proc/net/snmp Udp: d(InDatagrams + OutDatagrams) / dt",
     "node_netstat_Udp_InDatagrams + node_netstat_Udp_OutDatagrams"},
    {"Datagrams Received/sec", "per second", "The UDP datagrams over IPv4 delivered to applications per second.",
     "/proc/net/snmp Udp: d(InDatagrams) / dt", "node_netstat_Udp_InDatagrams"},
    {"Datagrams Sent/sec", "per second", "The UDP datagrams over IPv4 sent by applications per second.",
     "/proc/net/snmp Udp: d(OutDatagrams) / dt", "node_netstat_Udp_OutDatagrams"},
    {"Datagrams No Port/sec", "per second",
     "The UDP datagrams over IPv4 received per second for a port on which no application listened.",
     "/proc/net/snmp Udp: d(NoPorts) / dt", "node_netstat_Udp_NoPorts"},
    {"Datagrams Received Errors", "datagrams",
     "The received UDP datagrams over IPv4 that could not be delivered for a reason other than a missing listener "
     "(bad checksum, full receive buffer) since the system started.",
     "/proc/net/snmp Udp: InErrors", "node_netstat_Udp_InErrors"},
}};
constexpr std::array<SnmpFormula, UDPv4Counters.size()> UDPv4Formulas = {{
    {SnmpKind::Rate, UdpInDatagrams, UdpOutDatagrams},
    {SnmpKind::Rate, UdpInDatagrams},
    {SnmpKind::Rate, UdpOutDatagrams},
    {SnmpKind::Rate, UdpNoPorts},
    {SnmpKind::Count, UdpInErrors},
}};

constexpr std::array<CounterInfo, 5> UDPv6Counters = {{
    {"Datagrams/sec", "per second", "The UDP datagrams over IPv6 delivered to applications and sent by them per second.",
     "/proc/net/snmp6: d(Udp6InDatagrams + Udp6OutDatagrams) / dt",
     "node_netstat_Udp6_InDatagrams + node_netstat_Udp6_OutDatagrams"},
    {"Datagrams Received/sec", "per second", "The UDP datagrams over IPv6 delivered to applications per second.",
     "/proc/net/snmp6: d(Udp6InDatagrams) / dt", "node_netstat_Udp6_InDatagrams"},
    {"Datagrams Sent/sec", "per second", "The UDP datagrams over IPv6 sent by applications per second.",
     "/proc/net/snmp6: d(Udp6OutDatagrams) / dt", "node_netstat_Udp6_OutDatagrams"},
    {"Datagrams No Port/sec", "per second",
     "The UDP datagrams over IPv6 received per second for a port on which no application listened.",
     "/proc/net/snmp6: d(Udp6NoPorts) / dt", "node_netstat_Udp6_NoPorts"},
    {"Datagrams Received Errors", "datagrams",
     "The received UDP datagrams over IPv6 that could not be delivered for a reason other than a missing listener "
     "(bad checksum, full receive buffer) since the system started.",
     "/proc/net/snmp6: Udp6InErrors", "node_netstat_Udp6_InErrors"},
}};
constexpr std::array<SnmpFormula, UDPv6Counters.size()> UDPv6Formulas = {{
    {SnmpKind::Rate, Udp6InDatagrams, Udp6OutDatagrams},
    {SnmpKind::Rate, Udp6InDatagrams},
    {SnmpKind::Rate, Udp6OutDatagrams},
    {SnmpKind::Rate, Udp6NoPorts},
    {SnmpKind::Count, Udp6InErrors},
}};

constexpr std::array<CounterInfo, 10> TCPCounters = {{
    {"Connections Established", "connections", "The TCP connections now in the ESTABLISHED or CLOSE-WAIT state.",
     "/proc/net/snmp Tcp: CurrEstab", "node_netstat_Tcp_CurrEstab"},
    {"Connections Active", "connections", "The TCP connections this computer opened to others since the system started.",
     "/proc/net/snmp Tcp: ActiveOpens", "node_netstat_Tcp_ActiveOpens"},
    {"Connections Passive", "connections", "The TCP connections this computer accepted from others since the system started.",
     "/proc/net/snmp Tcp: PassiveOpens", "node_netstat_Tcp_PassiveOpens"},
    {"Connection Failures", "connections",
     "The TCP connection attempts that failed (a SYN sent or received, then a reset or no answer) since the system "
     "started.",
     "/proc/net/snmp Tcp: AttemptFails", ""},
    {"Connections Reset", "connections",
     "The TCP connections reset from the ESTABLISHED or CLOSE-WAIT state since the system started.",
     "/proc/net/snmp Tcp: EstabResets", ""},
    {"Segments/sec", "per second", "The TCP segments received and sent per second.",
     "/proc/net/snmp Tcp: d(InSegs + OutSegs) / dt", "node_netstat_Tcp_InSegs + node_netstat_Tcp_OutSegs"},
    {"Segments Received/sec", "per second", "The TCP segments received per second, those in error included.",
     "/proc/net/snmp Tcp: d(InSegs) / dt", "node_netstat_Tcp_InSegs"},
    {"Segments Sent/sec", "per second",
     "The TCP segments sent per second, leaving out those that only carry retransmitted data.",
     "/proc/net/snmp Tcp: d(OutSegs) / dt", "node_netstat_Tcp_OutSegs"},
    {"Segments Retransmitted/sec", "per second", "The TCP segments sent again per second because they were not acknowledged in time.",
     "/proc/net/snmp Tcp: d(RetransSegs) / dt", "node_netstat_Tcp_RetransSegs"},
    {"% Segments Retransmitted", "%",
     "The TCP segments retransmitted as a percentage of the segments sent; since retransmissions are not among "
     "those sent, it may exceed 100.",
     "/proc/net/snmp Tcp: 100 x d(RetransSegs) / d(OutSegs); no segment sent: no value",
     "100 x d(node_netstat_Tcp_RetransSegs) / d(node_netstat_Tcp_OutSegs)"},
}};
constexpr std::array<SnmpFormula, TCPCounters.size()> TCPFormulas = {{
    {SnmpKind::Count, TcpCurrEstab},
    {SnmpKind::Count, TcpActiveOpens},
    {SnmpKind::Count, TcpPassiveOpens},
    {SnmpKind::Count, TcpAttemptFails},
    {SnmpKind::Count, TcpEstabResets},
    {SnmpKind::Rate, TcpInSegs, TcpOutSegs},
    {SnmpKind::Rate, TcpInSegs},
    {SnmpKind::Rate, TcpOutSegs},
    {SnmpKind::Rate, TcpRetransSegs},
    {SnmpKind::Percent, TcpRetransSegs, TcpOutSegs},
}};

constexpr SnmpObject IPv4Object{IPv4Counters, IPv4Formulas, sources::NetSnmp};
constexpr SnmpObject IPv6Object{IPv6Counters, IPv6Formulas, sources::NetSnmp6};
constexpr SnmpObject UDPv4Object{UDPv4Counters, UDPv4Formulas, sources::NetSnmp};
constexpr SnmpObject UDPv6Object{UDPv6Counters, UDPv6Formulas, sources::NetSnmp6};
constexpr SnmpObject TCPObject{TCPCounters, TCPFormulas, sources::NetSnmp};

class SnmpReader final : public CounterReader {
public:
    SnmpReader(SourceMask source, const SnmpFormula& formula) : source_(source), formula_(formula) {}

    SourceMask Sources() const override { return source_; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        const SnmpValues* values = source_ == sources::NetSnmp6 ? snapshot.Snmp6().Values() : snapshot.Snmp().Values();
        RateBaseline<2>::Raw raw{};
        if (values == nullptr || !values->Get(formula_.first, raw[0]) || !values->Get(formula_.second, raw[1])) {
            baseline_.Forget();
            return perf_status::Unreadable;
        }
        switch (formula_.kind) {
        case SnmpKind::Count:
            value = static_cast<double>(raw[0]);
            return perf_status::Ok;
        case SnmpKind::Rate:
            return Rate(raw, snapshot.NowNs(), value);
        case SnmpKind::Percent:
            return Percent(raw, snapshot.NowNs(), value);
        }
        return perf_status::Unreadable;
    }

private:
    PerfStatus Rate(const RateBaseline<2>::Raw& raw, std::int64_t nowNs, double& value)
    {
        RateBaseline<2>::Raw delta{};
        double seconds = 0.0;
        const PerfStatus status = AdvanceRate(baseline_, 0, raw, nowNs, delta, seconds);
        if (status == perf_status::Ok)
            value = (static_cast<double>(delta[0]) + static_cast<double>(delta[1])) / seconds;
        return status;
    }

    PerfStatus Percent(const RateBaseline<2>::Raw& raw, std::int64_t nowNs, double& value)
    {
        RateBaseline<2>::Raw delta{};
        if (baseline_.Compare(0, raw, delta) != RateStep::Ready) {
            baseline_.Store(0, raw, nowNs);
            return perf_status::NoData;
        }
        // Nothing sent: no value; the baseline stays, so the next value counts these
        // retransmissions too.
        if (delta[1] == 0)
            return perf_status::NoData;
        baseline_.Store(0, raw, nowNs);
        value = 100.0 * static_cast<double>(delta[0]) / static_cast<double>(delta[1]);
        return perf_status::Ok;
    }

    SourceMask source_;
    SnmpFormula formula_;
    RateBaseline<2> baseline_;
};

template <const SnmpObject& object>
std::unique_ptr<CounterReader> MakeSnmpReader(std::size_t counter, std::string_view)
{
    return std::make_unique<SnmpReader>(object.source, object.formulas[counter]);
}

std::size_t CountFields(std::string_view line)
{
    std::size_t count = 0;
    while (!text::NextField(line).empty())
        ++count;
    return count;
}

} // namespace

void SnmpValues::Set(SnmpField field, std::uint64_t value)
{
    const auto index = static_cast<std::size_t>(field);
    if (index >= Count)
        return;
    values_[index] = value;
    present_ |= 1U << index;
}

bool SnmpValues::Get(SnmpField field, std::uint64_t& value) const
{
    const auto index = static_cast<std::size_t>(field);
    value = 0;
    if (index >= Count)
        return field == SnmpField::None;
    if ((present_ >> index & 1U) == 0)
        return false;
    value = values_[index];
    return true;
}

SnmpFileSource::SnmpFileSource(std::string path, std::span<const SnmpFieldName> fields,
                               std::span<const std::string_view> series)
    : file_(std::move(path)), fields_(fields), series_(series)
{
}

void SnmpFileSource::Refresh()
{
    values_.Clear();
    std::string_view content;
    valid_ = file_.Read(content);
    if (valid_)
        Parse(content);
}

const SnmpFieldName* SnmpFileSource::FindField(std::string_view group, std::string_view name) const
{
    for (const SnmpFieldName& field : fields_) {
        if (field.group == group && field.name == name)
            return &field;
    }
    return nullptr;
}

void SnmpFileSource::BeginPage(std::uint64_t)
{
    values_.Clear();
    valid_ = false;
}

void SnmpFileSource::TakeSample(const ExpositionPage&, const ExpositionSample& sample)
{
    // node_netstat_<group>_<name>: the group ends at the first "_" after the prefix.
    const std::string_view series = std::string_view(sample.name).substr(NetstatPrefix.size());
    const std::size_t underscore = series.find('_');
    if (underscore == std::string_view::npos)
        return;
    std::uint64_t count = 0;
    if (const SnmpFieldName* field = FindField(series.substr(0, underscore), series.substr(underscore + 1));
        field != nullptr && PageCount(sample.value, 1.0, count))
        values_.Set(field->field, count);
}

void SnmpFileSource::EndPage()
{
    // A page without the netstat collector's series (or, for IPv6, a computer without IPv6)
    // gives no field, and every read fails.
    valid_ = !values_.Empty();
}

SnmpSource::SnmpSource(const std::string& procRoot) : SnmpFileSource(procRoot + "/net/snmp", SnmpFields, SnmpSeries) {}

void SnmpSource::Parse(std::string_view content)
{
    // A table is a header line of names followed by a line of values of the same group:
    // "Tcp: RtoAlgorithm RtoMin ..." then "Tcp: 1 200 ...".
    std::string_view header;
    std::string_view line;
    while (text::NextLine(content, line)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            header = {};
            continue;
        }
        const std::string_view group = line.substr(0, colon + 1);
        if (!header.empty() && header.substr(0, colon + 1) == group) {
            ParseTable(line.substr(0, colon), header.substr(colon + 1), line.substr(colon + 1));
            header = {};
        } else {
            header = line;
        }
    }
}

void SnmpSource::ParseTable(std::string_view group, std::string_view names, std::string_view numbers)
{
    // Lines that disagree in length cannot be paired: the table gives nothing.
    if (CountFields(names) != CountFields(numbers))
        return;
    for (std::string_view name = text::NextField(names); !name.empty(); name = text::NextField(names)) {
        const std::string_view number = text::NextField(numbers);
        std::uint64_t value = 0;
        if (const SnmpFieldName* field = FindField(group, name); field != nullptr && text::ParseU64(number, value))
            values_.Set(field->field, value);
    }
}

Snmp6Source::Snmp6Source(const std::string& procRoot)
    : SnmpFileSource(procRoot + "/net/snmp6", Snmp6Fields, Snmp6Series)
{
}

void Snmp6Source::Parse(std::string_view content)
{
    // "Ip6InReceives                   \t1234": the group and name written together.
    std::string_view line;
    while (text::NextLine(content, line)) {
        const std::string_view key = text::NextField(line);
        const std::string_view number = text::NextField(line);
        std::uint64_t value = 0;
        if (!text::NextField(line).empty() || !text::ParseU64(number, value))
            continue;
        for (const SnmpFieldName& field : Snmp6Fields) {
            if (key.size() == field.group.size() + field.name.size() && key.starts_with(field.group)
                && key.ends_with(field.name)) {
                values_.Set(field.field, value);
                break;
            }
        }
    }
}

const ObjectFamily& IPv4Family()
{
    static constexpr ObjectFamily family{"IPv4",
        "The IPv4 protocol: the datagrams this computer received, sent, forwarded and dropped (/proc/net/snmp).",
        IPv4Counters, false, 0, MakeSnmpReader<IPv4Object>, ListNoInstances};
    return family;
}

const ObjectFamily& IPv6Family()
{
    static constexpr ObjectFamily family{"IPv6",
        "The IPv6 protocol: the datagrams this computer received, sent, forwarded and dropped (/proc/net/snmp6); "
        "on a kernel without IPv6 every read fails.",
        IPv6Counters, false, 0, MakeSnmpReader<IPv6Object>, ListNoInstances};
    return family;
}

const ObjectFamily& UDPv4Family()
{
    static constexpr ObjectFamily family{"UDPv4",
        "The UDP protocol over IPv4: the datagrams delivered to and sent by applications, and those that could not "
        "be delivered (/proc/net/snmp).",
        UDPv4Counters, false, 0, MakeSnmpReader<UDPv4Object>, ListNoInstances};
    return family;
}

const ObjectFamily& UDPv6Family()
{
    static constexpr ObjectFamily family{"UDPv6",
        "The UDP protocol over IPv6: the datagrams delivered to and sent by applications, and those that could not "
        "be delivered (/proc/net/snmp6); on a kernel without IPv6 every read fails.",
        UDPv6Counters, false, 0, MakeSnmpReader<UDPv6Object>, ListNoInstances};
    return family;
}

const ObjectFamily& TCPFamily()
{
    static constexpr ObjectFamily family{"TCP",
        "The TCP protocol over IPv4 and IPv6 together: Linux counts TCP once for both (/proc/net/snmp), so there "
        "is one TCP object rather than one per IP version.",
        TCPCounters, false, 0, MakeSnmpReader<TCPObject>, ListNoInstances};
    return family;
}

} // namespace quel
