#include "platform/counter_path.h"

#include <gtest/gtest.h>

namespace quel {
namespace {

CounterPath Parsed(std::string_view path)
{
    CounterPath parts;
    EXPECT_TRUE(ParseCounterPath(path, parts)) << path;
    return parts;
}

TEST(CounterPathTest, SplitsComputerObjectInstanceAndCounter)
{
    const CounterPath plain = Parsed("\\Memory\\% Committed Bytes In Use");
    EXPECT_EQ(plain.computer, "");
    EXPECT_EQ(plain.object, "Memory");
    EXPECT_FALSE(plain.hasInstance);
    EXPECT_EQ(plain.counter, "% Committed Bytes In Use");

    const CounterPath remote = Parsed("\\\\server7\\Processor(_Total)\\% Processor Time");
    EXPECT_EQ(remote.computer, "server7");
    EXPECT_EQ(remote.object, "Processor");
    EXPECT_TRUE(remote.hasInstance);
    EXPECT_EQ(remote.instance, "_Total");
    EXPECT_EQ(remote.counter, "% Processor Time");

    EXPECT_EQ(Parsed("\\Network Interface(eth0)\\Bytes Total/sec").counter, "Bytes Total/sec");
}

TEST(CounterPathTest, InstanceKeepsSlashesParenthesesHashesAndBackslashes)
{
    EXPECT_EQ(Parsed("\\LogicalDisk(/)\\% Free Space").instance, "/");
    EXPECT_EQ(Parsed("\\LogicalDisk(/mnt/my disk)\\% Free Space").instance, "/mnt/my disk");
    EXPECT_EQ(Parsed("\\LogicalDisk(/mnt/odd)name#1)\\% Free Space").instance, "/mnt/odd)name#1");
    EXPECT_EQ(Parsed("\\LogicalDisk(/mnt/(x))\\% Free Space").instance, "/mnt/(x)");
    EXPECT_EQ(Parsed("\\LogicalDisk(/mnt/a\\b)\\% Free Space").instance, "/mnt/a\\b");
    EXPECT_EQ(Parsed("\\Processor(parent/0#1)\\% Processor Time").instance, "parent/0#1");
}

TEST(CounterPathTest, RejectsMalformedPaths)
{
    for (const std::string_view path : {
             "", "\\", "Memory\\Available Bytes", "\\Memory", "\\Memory\\", "\\\\", "\\\\host", "\\\\host\\",
             "\\\\\\Memory\\Available Bytes", "\\Processor()\\% Processor Time", "\\Processor(0\\% Processor Time",
             "\\Processor(0)x\\% Processor Time", "\\(0)\\% Processor Time", "\\Memory\\x\\Available Bytes",
             "\\Memory)\\Available Bytes", "\\\\host\\\\Memory\\Available Bytes"}) {
        CounterPath parts;
        EXPECT_FALSE(ParseCounterPath(path, parts)) << path;
    }
}

TEST(CounterPathTest, LocalComputerNames)
{
    EXPECT_TRUE(IsLocalComputer(".", "quelbox"));
    EXPECT_TRUE(IsLocalComputer("localhost", "quelbox"));
    EXPECT_TRUE(IsLocalComputer("LocalHost", "quelbox"));
    EXPECT_TRUE(IsLocalComputer("127.0.0.1", "quelbox"));
    EXPECT_TRUE(IsLocalComputer("quelbox", "quelbox"));
    EXPECT_TRUE(IsLocalComputer("QUELBOX", "quelbox"));
    EXPECT_FALSE(IsLocalComputer("otherbox", "quelbox"));
    EXPECT_FALSE(IsLocalComputer("127.0.0.2", "quelbox"));
    EXPECT_FALSE(IsLocalComputer("", ""));
}

} // namespace
} // namespace quel
