// Network counters: the interfaces' packets and errors of /proc/net/dev.

#include "fixture_machine.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace quel::test
