// Network counters: the interfaces' packets and errors of /proc/net/dev, and the IPv4, IPv6,
// UDPv4, UDPv6 and TCP objects of /proc/net/snmp and /proc/net/snmp6.

#include "fixture_machine.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace quel::test {
namespace {

using namespace perf_status;

// /proc/net/dev with lo and, when given, eth0 (received then sent: bytes, packets, errs, drop).
std::string NetDev(std::string_view eth0)
{
    std::string text = "Inter-|   Receive                                                |  Transmit\n"
                       " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop "
                       "fifo colls carrier compressed\n"
                       "    lo:    3267      29    0    0    0     0          0         0     3267      29    0    0    0     0       0          0\n";
    if (!eth0.empty())
        text += "  eth0: " + std::string(eth0) + "\n";
    return text;
}

std::string Eth0(long rxBytes, long rxPackets, long txBytes, long txPackets)
{
    char line[200];
    std::snprintf(line, sizeof line, "%ld %ld 3 4 0 0 0 0 %ld %ld 5 6 0 0 0 0", rxBytes, rxPackets, txBytes, txPackets);
    return line;
}

TEST(ProviderNetworkTest, InterfacePacketRatesAndErrorTotals)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle received = p.Add("\\Network Interface(eth0)\\Bytes Received/sec");
    const PerfCounterHandle sent = p.Add("\\Network Interface(eth0)\\Bytes Sent/sec");
    const PerfCounterHandle packets = p.Add("\\Network Interface(eth0)\\Packets/sec");
    const PerfCounterHandle packetsIn = p.Add("\\Network Interface(eth0)\\Packets Received/sec");
    const PerfCounterHandle packetsOut = p.Add("\\Network Interface(eth0)\\Packets Sent/sec");
    const PerfCounterHandle inErrors = p.Add("\\Network Interface(eth0)\\Packets Received Errors");
    const PerfCounterHandle outErrors = p.Add("\\Network Interface(eth0)\\Packets Outbound Errors");
    const PerfCounterHandle inDiscarded = p.Add("\\Network Interface(eth0)\\Packets Received Discarded");
    const PerfCounterHandle outDiscarded = p.Add("\\Network Interface(eth0)\\Packets Outbound Discarded");
    p.machine.Write("proc/net/dev", NetDev(Eth0(1000, 10, 2000, 20)));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(packets).status, NoData);
    // Totals since boot need no second collection.
    EXPECT_EQ(p.Read(inErrors).value, 3.0);
    EXPECT_EQ(p.Read(inDiscarded).value, 4.0);
    EXPECT_EQ(p.Read(outErrors).value, 5.0);
    EXPECT_EQ(p.Read(outDiscarded).value, 6.0);

    p.machine.Write("proc/net/dev", NetDev(Eth0(3000, 30, 2000, 60)));
    ASSERT_EQ(p.CollectAfter(2.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(received).value, 1000.0);
    EXPECT_EQ(p.Read(sent).status, Ok);
    EXPECT_DOUBLE_EQ(p.Read(sent).value, 0.0) << "nothing sent is 0, not a failed read";
    EXPECT_DOUBLE_EQ(p.Read(packetsIn).value, 10.0);
    EXPECT_DOUBLE_EQ(p.Read(packetsOut).value, 20.0);
    EXPECT_DOUBLE_EQ(p.Read(packets).value, 30.0);

    // A driver reset: the packets go backwards, the rate primes again.
    p.machine.Write("proc/net/dev", NetDev(Eth0(4000, 5, 2000, 60)));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(packetsIn).status, NoData);
    EXPECT_DOUBLE_EQ(p.Read(received).value, 1000.0);

    // Gone: every counter fails, totals included; back: totals at once, rates prime.
    p.machine.Write("proc/net/dev", NetDev(""));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(packets).status, NoInstance);
    EXPECT_EQ(p.Read(inErrors).status, NoInstance);
    p.machine.Write("proc/net/dev", NetDev(Eth0(10, 1, 10, 1)));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(inErrors).value, 3.0);
    EXPECT_EQ(p.Read(packets).status, NoData);
    p.machine.Write("proc/net/dev", NetDev(Eth0(10, 4, 10, 2)));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(packets).value, 4.0);
}

// /proc/net/snmp as a 6.x kernel prints it, with the value lines of Ip, Tcp and Udp; an empty
// one leaves its table out.
std::string Snmp(std::string_view ip, std::string_view tcp, std::string_view udp)
{
    std::string text;
    if (!ip.empty())
        text += "Ip: Forwarding DefaultTTL InReceives InHdrErrors InAddrErrors ForwDatagrams InUnknownProtos InDiscards "
                "InDelivers OutRequests OutDiscards OutNoRoutes ReasmTimeout ReasmReqds ReasmOKs ReasmFails FragOKs "
                "FragFails FragCreates OutTransmits\nIp: " + std::string(ip) + "\n";
    text += "IcmpMsg: InType3 OutType3\nIcmpMsg: 1 1\n";
    if (!tcp.empty())
        text += "Tcp: RtoAlgorithm RtoMin RtoMax MaxConn ActiveOpens PassiveOpens AttemptFails EstabResets CurrEstab "
                "InSegs OutSegs RetransSegs InErrs OutRsts InCsumErrors\nTcp: " + std::string(tcp) + "\n";
    if (!udp.empty())
        text += "Udp: InDatagrams NoPorts InErrors OutDatagrams RcvbufErrors SndbufErrors InCsumErrors IgnoredMulti "
                "MemErrors\nUdp: " + std::string(udp) + "\n";
    return text;
}

// /proc/net/snmp6 with the given Ip6 and Udp6 fields among others, aligned as the kernel does.
std::string Snmp6(long inReceives, long outRequests, long outForwarded, long udpIn, long udpOut, long udpNoPorts)
{
    const std::pair<const char*, long> fields[] = {
        {"Ip6InReceives", inReceives}, {"Ip6InHdrErrors", 3}, {"Ip6InDiscards", 2}, {"Ip6OutForwDatagrams", outForwarded},
        {"Ip6OutRequests", outRequests}, {"Icmp6InMsgs", 1}, {"Udp6InDatagrams", udpIn}, {"Udp6NoPorts", udpNoPorts},
        {"Udp6InErrors", 1}, {"Udp6OutDatagrams", udpOut}, {"UdpLite6InDatagrams", 0}};
    std::string text;
    for (const auto& [name, value] : fields) {
        char line[80];
        std::snprintf(line, sizeof line, "%-32s\t%ld\n", name, value);
        text += line;
    }
    return text;
}

constexpr std::string_view Ip0 = "1 64 250000 12 0 300 0 45 249643 180000 3 0 0 0 0 0 0 0 0 180300";
constexpr std::string_view Tcp0 = "1 200 120000 -1 1200 800 40 25 12 200000 150000 300 2 90 0";
constexpr std::string_view Udp0 = "5000 30 7 4000 7 0 0 12 0";

TEST(ProviderNetworkTest, ProtocolRatesAndTotalsFromTheSnmpTables)
{
    FixtureProvider p("machine-4cpu");
    const auto add = [&p](const char* path) { return p.Add(path); };
    const PerfCounterHandle ipDatagrams = add("\\IPv4\\Datagrams/sec");
    const PerfCounterHandle ipReceived = add("\\IPv4\\Datagrams Received/sec");
    const PerfCounterHandle ipSent = add("\\IPv4\\Datagrams Sent/sec");
    const PerfCounterHandle ipForwarded = add("\\IPv4\\Datagrams Forwarded/sec");
    const PerfCounterHandle ipDiscarded = add("\\IPv4\\Datagrams Received Discarded");
    const PerfCounterHandle ipHeaderErrors = add("\\IPv4\\Datagrams Received Header Errors");
    const PerfCounterHandle ip6Datagrams = add("\\IPv6\\Datagrams/sec");
    const PerfCounterHandle ip6Forwarded = add("\\IPv6\\Datagrams Forwarded/sec");
    const PerfCounterHandle ip6HeaderErrors = add("\\IPv6\\Datagrams Received Header Errors");
    const PerfCounterHandle udpDatagrams = add("\\UDPv4\\Datagrams/sec");
    const PerfCounterHandle udpNoPort = add("\\UDPv4\\Datagrams No Port/sec");
    const PerfCounterHandle udpErrors = add("\\UDPv4\\Datagrams Received Errors");
    const PerfCounterHandle udp6Sent = add("\\UDPv6\\Datagrams Sent/sec");
    const PerfCounterHandle udp6NoPort = add("\\UDPv6\\Datagrams No Port/sec");
    const PerfCounterHandle established = add("\\TCP\\Connections Established");
    const PerfCounterHandle active = add("\\TCP\\Connections Active");
    const PerfCounterHandle passive = add("\\TCP\\Connections Passive");
    const PerfCounterHandle failures = add("\\TCP\\Connection Failures");
    const PerfCounterHandle resets = add("\\TCP\\Connections Reset");
    const PerfCounterHandle segments = add("\\TCP\\Segments/sec");
    const PerfCounterHandle retransmitted = add("\\TCP\\Segments Retransmitted/sec");
    const PerfCounterHandle retransmittedShare = add("\\TCP\\% Segments Retransmitted");

    // The fixture files as the kernel prints them: totals and gauges at once, rates prime.
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(ipDatagrams).status, NoData);
    EXPECT_EQ(p.Read(retransmittedShare).status, NoData);
    EXPECT_EQ(p.Read(ipDiscarded).value, 45.0);
    EXPECT_EQ(p.Read(ipHeaderErrors).value, 12.0);
    EXPECT_EQ(p.Read(ip6HeaderErrors).value, 3.0);
    EXPECT_EQ(p.Read(udpErrors).value, 7.0);
    EXPECT_EQ(p.Read(established).value, 12.0);
    EXPECT_EQ(p.Read(active).value, 1200.0);
    EXPECT_EQ(p.Read(passive).value, 800.0);
    EXPECT_EQ(p.Read(failures).value, 40.0);
    EXPECT_EQ(p.Read(resets).value, 25.0);

    p.machine.Write("proc/net/snmp", Snmp("1 64 252000 13 0 310 0 46 251643 181000 3 0 0 0 0 0 0 0 0 181300",
                                          "1 200 120000 -1 1210 805 41 26 14 204000 152000 500 2 90 0",
                                          "5600 40 9 4400 9 0 0 12 0"));
    p.machine.Write("proc/net/snmp6", Snmp6(9400, 7200, 14, 640, 520, 8));
    ASSERT_EQ(p.CollectAfter(2.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(ipReceived).value, 1000.0);
    EXPECT_DOUBLE_EQ(p.Read(ipSent).value, 500.0);
    EXPECT_DOUBLE_EQ(p.Read(ipDatagrams).value, 1500.0);
    EXPECT_DOUBLE_EQ(p.Read(ipForwarded).value, 5.0);
    EXPECT_DOUBLE_EQ(p.Read(ip6Datagrams).value, 300.0);
    EXPECT_DOUBLE_EQ(p.Read(ip6Forwarded).value, 2.0);
    EXPECT_DOUBLE_EQ(p.Read(udpDatagrams).value, 500.0);
    EXPECT_DOUBLE_EQ(p.Read(udpNoPort).value, 5.0);
    EXPECT_EQ(p.Read(udpErrors).value, 9.0);
    EXPECT_DOUBLE_EQ(p.Read(udp6Sent).value, 10.0);
    EXPECT_DOUBLE_EQ(p.Read(udp6NoPort).value, 2.0);
    EXPECT_EQ(p.Read(established).value, 14.0);
    EXPECT_DOUBLE_EQ(p.Read(segments).value, 3000.0);
    EXPECT_DOUBLE_EQ(p.Read(retransmitted).value, 100.0);
    EXPECT_DOUBLE_EQ(p.Read(retransmittedShare).value, 10.0) << "200 retransmitted of 2000 sent";
}

TEST(ProviderNetworkTest, NoSegmentSentAndCountersGoingBackwardsGiveNoValue)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle share = p.Add("\\TCP\\% Segments Retransmitted");
    const PerfCounterHandle segments = p.Add("\\TCP\\Segments/sec");
    p.machine.Write("proc/net/snmp", Snmp(Ip0, Tcp0, Udp0));
    ASSERT_EQ(p.Collect(), Ok);

    // Retransmissions but no segment sent: no percentage (never a division by 0), and the
    // retransmissions count in the next value.
    p.machine.Write("proc/net/snmp", Snmp(Ip0, "1 200 120000 -1 1200 800 40 25 12 200000 150000 310 2 90 0", Udp0));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(share).status, NoData);
    EXPECT_DOUBLE_EQ(p.Read(segments).value, 0.0);
    p.machine.Write("proc/net/snmp", Snmp(Ip0, "1 200 120000 -1 1200 800 40 25 12 200000 150100 320 2 90 0", Udp0));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(share).value, 20.0);

    // The counters start again (a new network namespace, a remote computer rebooted): prime.
    p.machine.Write("proc/net/snmp", Snmp(Ip0, "1 200 120000 -1 2 1 0 0 1 50 40 1 0 0 0", Udp0));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(share).status, NoData);
    EXPECT_EQ(p.Read(segments).status, NoData);
    p.machine.Write("proc/net/snmp", Snmp(Ip0, "1 200 120000 -1 2 1 0 0 1 90 80 5 0 0 0", Udp0));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(share).value, 10.0);
    EXPECT_DOUBLE_EQ(p.Read(segments).value, 80.0);
}

TEST(ProviderNetworkTest, ABrokenOrMissingTableFailsOnlyItsObject)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle ip = p.Add("\\IPv4\\Datagrams Received Discarded");
    const PerfCounterHandle tcp = p.Add("\\TCP\\Connections Established");
    const PerfCounterHandle tcpRate = p.Add("\\TCP\\Segments/sec");
    const PerfCounterHandle udp = p.Add("\\UDPv4\\Datagrams Received Errors");
    const PerfCounterHandle ip6 = p.Add("\\IPv6\\Datagrams Received Discarded");
    const PerfCounterHandle udp6 = p.Add("\\UDPv6\\Datagrams/sec");

    // A kernel without IPv6 has no /proc/net/snmp6.
    p.machine.Remove("proc/net/snmp6");
    // A value line one field short cannot be paired with its names.
    p.machine.Write("proc/net/snmp", Snmp(Ip0, "", "5000 30 7 4000 7 0 0 12"));
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(udp).status, Unreadable);
    EXPECT_EQ(p.Read(tcp).status, Unreadable) << "no Tcp: table";
    EXPECT_EQ(p.Read(tcpRate).status, Unreadable);
    EXPECT_EQ(p.Read(ip).value, 45.0);

    // Without IPv6, IPv4 still counts.
    p.machine.Write("proc/net/snmp", Snmp(Ip0, Tcp0, Udp0));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(ip6).status, Unreadable);
    EXPECT_EQ(p.Read(udp6).status, Unreadable);
    EXPECT_EQ(p.Read(tcp).value, 12.0);
    EXPECT_EQ(p.Read(udp).value, 7.0);

    // Garbage in place of a number fails that field alone.
    p.machine.Write("proc/net/snmp", Snmp(Ip0, "1 200 120000 -1 1200 800 40 25 x12 200000 150000 300 2 90 0", Udp0));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(tcp).status, Unreadable);
    EXPECT_EQ(p.Read(tcpRate).status, Ok) << "the other fields of the table still count";
}

// Every prefix of the fixture files (a read cut short, a kernel printing fewer fields) and a few
// damaged variants: each read fails or gives a finite value, and never a crash.
TEST(ProviderNetworkTest, CutAndDamagedSnmpFilesGiveFiniteValuesOrFailedReads)
{
    FixtureProvider p("machine-4cpu");
    std::vector<PerfCounterHandle> counters;
    for (const char* object : {"IPv4", "IPv6", "UDPv4", "UDPv6", "TCP"}) {
        for (const std::string& counter : p.Counters(object))
            counters.push_back(p.Add("\\" + std::string(object) + "\\" + counter));
    }
    ASSERT_EQ(counters.size(), 32u);
    for (const char* file : {"proc/net/snmp", "proc/net/snmp6"}) {
        const std::string whole = ReadFile(p.machine.ProcRoot() + std::string(file).substr(4));
        std::vector<std::string> inputs;
        for (std::size_t cut = 0; cut <= whole.size(); cut += 7)
            inputs.push_back(whole.substr(0, cut));
        inputs.push_back("Tcp: CurrEstab\nTcp: 18446744073709551615\nTcp: CurrEstab\n");
        inputs.push_back("Tcp: CurrEstab InSegs\nTcp: -1 1e308\nUdp6InErrors 99999999999999999999999\n:\n::\n");
        for (const std::string& input : inputs) {
            p.machine.Write(file, input);
            ASSERT_EQ(p.CollectAfter(1.0), Ok);
            for (PerfCounterHandle counter : counters) {
                const Reading reading = p.Read(counter);
                if (reading.status == Ok) {
                    EXPECT_TRUE(std::isfinite(reading.value)) << file << " cut to " << input.size();
                }
            }
        }
        p.machine.Write(file, whole);
    }
}

} // namespace
} // namespace quel::test
