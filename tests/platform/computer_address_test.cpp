#include "platform/computer_address.h"

#include <gtest/gtest.h>

namespace quel {
namespace {

TEST(ComputerAddress, ReadsNamesPortsAndIpv6Forms)
{
    struct Case {
        const char* computer;
        const char* url;
        bool hasPort;
    };
    const Case cases[] = {
        {"web01", "http://web01:9100/metrics", false},
        {"web01.example.org:9187", "http://web01.example.org:9187/metrics", true},
        {"10.0.0.5:9100", "http://10.0.0.5:9100/metrics", true},
        {"[2001:db8::5]:9100", "http://[2001:db8::5]:9100/metrics", true},
        {"[::1]", "http://[::1]:9100/metrics", false},
        {"2001:db8::5", "http://[2001:db8::5]:9100/metrics", false},
        {"[fe80::1%eth0]:1", "http://[fe80::1%25eth0]:1/metrics", true},
        {"localhost:65535", "http://localhost:65535/metrics", true},
    };
    for (const Case& c : cases) {
        ComputerAddress address;
        ASSERT_TRUE(ParseComputerAddress(c.computer, address)) << c.computer;
        EXPECT_EQ(MetricsUrl(address), c.url) << c.computer;
        EXPECT_EQ(address.hasPort, c.hasPort) << c.computer;
    }
}

TEST(ComputerAddress, RefusesWhatCannotGoIntoAUrlSafely)
{
    const char* const bad[] = {"", "host:", "host:0", "host:65536", "host:99999999999", "host:+1", "host:1x",
                               "[::1", "[::1]x", "[::1]:", "[web01]:9100", "a b", "host/path", "user@host",
                               "host?q", "host#f", "-host", "h\x01", "[::1%]:9100", ":9100"};
    for (const char* computer : bad) {
        ComputerAddress address;
        EXPECT_FALSE(ParseComputerAddress(computer, address)) << computer;
    }
}

TEST(ComputerAddress, LocalNamesWithoutAPortStayLocal)
{
    EXPECT_FALSE(IsRemoteComputer("", "box"));
    EXPECT_FALSE(IsRemoteComputer("localhost", "box"));
    EXPECT_FALSE(IsRemoteComputer("127.0.0.1", "box"));
    EXPECT_FALSE(IsRemoteComputer(".", "box"));
    EXPECT_FALSE(IsRemoteComputer("BOX", "box"));
    EXPECT_TRUE(IsRemoteComputer("localhost:9100", "box"));
    EXPECT_TRUE(IsRemoteComputer("box:9100", "box"));
    EXPECT_TRUE(IsRemoteComputer("[::1]", "box"));
    EXPECT_TRUE(IsRemoteComputer("web01", "box"));
}

} // namespace
} // namespace quel
