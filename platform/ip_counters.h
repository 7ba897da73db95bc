#pragma once
// IPv4, IPv6, UDPv4, UDPv6 and TCP: the kernel's SNMP counters of /proc/net/snmp (pairs of a
// header line of names and a line of values: "Tcp: ActiveOpens ..." then "Tcp: 48 ...") and
// /proc/net/snmp6 (one "Ip6InReceives 123" line per field). Fields are found by name, never by
// position: kernels add fields.

#include "platform/object_family.h"
#include "platform/page_feed.h"
#include "platform/proc_file.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quel {

// The SNMP fields the counters use, of both files.
enum class SnmpField : std::uint8_t {
    IpInReceives, IpOutRequests, IpInDiscards, IpInHdrErrors, IpForwDatagrams,
    TcpCurrEstab, TcpActiveOpens, TcpPassiveOpens, TcpAttemptFails, TcpEstabResets,
    TcpInSegs, TcpOutSegs, TcpRetransSegs,
    UdpInDatagrams, UdpOutDatagrams, UdpNoPorts, UdpInErrors,
    Ip6InReceives, Ip6OutRequests, Ip6InDiscards, Ip6InHdrErrors, Ip6OutForwDatagrams,
    Udp6InDatagrams, Udp6OutDatagrams, Udp6NoPorts, Udp6InErrors,
    None,  // no field: a formula's unused operand
};

// The fields one file (or page) gave in one collection.
class SnmpValues {
public:
    void Clear() { present_ = 0; }
    void Set(SnmpField field, std::uint64_t value);
    // False when the field is unknown; None is always known, as 0.
    bool Get(SnmpField field, std::uint64_t& value) const;
    bool Empty() const { return present_ == 0; }

private:
    static constexpr std::size_t Count = static_cast<std::size_t>(SnmpField::None);
    static_assert(Count <= 32);
    std::array<std::uint64_t, Count> values_{};
    std::uint32_t present_ = 0;
};

// One field: its group and name ("Tcp" and "InSegs": the column "InSegs" of the "Tcp:" table of
// /proc/net/snmp; "Ip6" and "InReceives": the line "Ip6InReceives" of /proc/net/snmp6), which
// the node exporter serves as node_netstat_<group>_<name>.
struct SnmpFieldName {
    SnmpField field;
    std::string_view group;
    std::string_view name;
};

// One SNMP file read once per collection, and its node exporter series.
class SnmpFileSource : public PageFeed {
public:
    void Refresh();
    // The fields of the last collection; null when the file could not be read (no IPv6).
    const SnmpValues* Values() const { return valid_ ? &values_ : nullptr; }

    std::span<const std::string_view> Series() const override { return series_; }
    void BeginPage(std::uint64_t collection) override;
    void TakeSample(const ExpositionPage& page, const ExpositionSample& sample) override;
    void EndPage() override;

protected:
    SnmpFileSource(std::string path, std::span<const SnmpFieldName> fields, std::span<const std::string_view> series);
    ~SnmpFileSource() = default;
    // Sets the fields content gives.
    virtual void Parse(std::string_view content) = 0;
    const SnmpFieldName* FindField(std::string_view group, std::string_view name) const;

    SnmpValues values_;

private:
    ProcFile file_;
    std::span<const SnmpFieldName> fields_;
    std::span<const std::string_view> series_;
    bool valid_ = false;
};

// /proc/net/snmp: Ip, Tcp and Udp.
class SnmpSource final : public SnmpFileSource {
public:
    explicit SnmpSource(const std::string& procRoot);

private:
    void Parse(std::string_view content) override;
    void ParseTable(std::string_view group, std::string_view names, std::string_view numbers);
};

// /proc/net/snmp6: Ip6 and Udp6; missing on a kernel without IPv6.
class Snmp6Source final : public SnmpFileSource {
public:
    explicit Snmp6Source(const std::string& procRoot);

private:
    void Parse(std::string_view content) override;
};

const ObjectFamily& IPv4Family();
const ObjectFamily& IPv6Family();
const ObjectFamily& UDPv4Family();
const ObjectFamily& UDPv6Family();
const ObjectFamily& TCPFamily();

} // namespace quel
