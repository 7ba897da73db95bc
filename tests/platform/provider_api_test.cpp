// The provider's operations: handles, statuses of paths, name lists and name lookup.

#include "fixture_machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace quel::test {
namespace {

using namespace perf_status;
using namespace std::string_view_literals;

PerfStatus AddStatus(FixtureProvider& p, std::string_view path)
{
    PerfCounterHandle counter = nullptr;
    const PerfStatus status = p.source.AddCounter(p.query, path, counter);
    EXPECT_NE(counter, nullptr) << path;
    return status;
}

TEST(ProviderApiTest, PathsResolveCaseInsensitivelyAndOtherComputersAreReadRemotely)
{
    FixtureProvider p("machine-4cpu");
    EXPECT_EQ(AddStatus(p, "\\Memory\\Available Bytes"), Ok);
    EXPECT_EQ(AddStatus(p, "\\memory\\AVAILABLE bytes"), Ok);
    EXPECT_EQ(AddStatus(p, "\\\\localhost\\Memory\\Available Bytes"), Ok);
    EXPECT_EQ(AddStatus(p, "\\\\.\\Memory\\Available Bytes"), Ok);
    EXPECT_EQ(AddStatus(p, "\\\\127.0.0.1\\Memory\\Available Bytes"), Ok);
    EXPECT_EQ(AddStatus(p, "\\\\QuelBox\\Memory\\Available Bytes"), Ok);
    // Another computer is read from its metrics endpoint (nothing is fetched before a collection).
    EXPECT_EQ(AddStatus(p, "\\\\otherbox\\Memory\\Available Bytes"), Ok);
    EXPECT_EQ(AddStatus(p, "\\Registry\\Available Bytes"), NoObject);
    EXPECT_EQ(AddStatus(p, "\\Memory\\Bytes Available"), NoCounter);
    EXPECT_EQ(AddStatus(p, "Memory\\Available Bytes"), BadPath);
    EXPECT_EQ(AddStatus(p, "\\Memory(0)\\Available Bytes"), NoInstance);
    EXPECT_EQ(AddStatus(p, "\\Processor\\% Processor Time"), NoInstance);
}

TEST(ProviderApiTest, FailedPathsKeepTheirStatusAndInstancesMatchExactly)
{
    FixtureProvider p("machine-4cpu");
    // A computer that does not answer (a closed loopback port: tests never look names up).
    const PerfCounterHandle remote = p.Add("\\\\127.0.0.1:1\\Processor(0)\\% Processor Time");
    const PerfCounterHandle malformed = p.Add("\\Processor(0\\% Processor Time");
    const PerfCounterHandle wrongCase = p.Add("\\Processor(_total)\\% Processor Time");
    const PerfCounterHandle missing = p.Add("\\Processor(4)\\% Processor Time");
    const PerfCounterHandle good = p.Add("\\PROCESSOR(_Total)\\% processor time");
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(p.CollectAfter(1), Ok);
        EXPECT_EQ(p.Read(remote).status, NoMachine);
        EXPECT_EQ(p.Read(malformed).status, BadPath);
        EXPECT_EQ(p.Read(wrongCase).status, NoInstance);
        EXPECT_EQ(p.Read(missing).status, NoInstance);
    }
    // The fixture does not change, so no jiffy passes: still no value, but the instance exists.
    EXPECT_EQ(p.Read(good).status, NoData);
}

TEST(ProviderApiTest, HandlesAreCheckedAndDieWithTheirQuery)
{
    FixtureProvider p("machine-4cpu");
    double value = 1.0;
    PerfCounterHandle counter = nullptr;
    EXPECT_EQ(p.source.AddCounter(nullptr, "\\Memory\\Available Bytes", counter), InvalidHandle);
    EXPECT_EQ(counter, nullptr);
    EXPECT_EQ(p.source.CollectQueryData(nullptr), InvalidHandle);
    EXPECT_EQ(p.source.GetFormattedCounterValue(nullptr, value), InvalidHandle);
    EXPECT_EQ(value, 0.0);
    EXPECT_EQ(p.source.RemoveCounter(nullptr), InvalidHandle);
    EXPECT_EQ(p.source.CloseQuery(nullptr), InvalidHandle);

    EXPECT_EQ(p.Collect(), NoData) << "an empty query has nothing to collect";
    const PerfCounterHandle available = p.Add("\\Memory\\Available Bytes");
    const PerfCounterHandle committed = p.Add("\\Memory\\Committed Bytes");
    EXPECT_EQ(p.Read(available).status, NoData) << "not collected yet";
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(available).status, Ok);
    EXPECT_EQ(p.source.RemoveCounter(available), Ok);
    EXPECT_EQ(p.source.RemoveCounter(available), InvalidHandle);
    EXPECT_EQ(p.Read(available).status, InvalidHandle);
    EXPECT_EQ(p.Read(committed).status, Ok);

    PerfQueryHandle second = nullptr;
    ASSERT_EQ(p.source.OpenQuery(second), Ok);
    PerfCounterHandle threads = nullptr;
    ASSERT_EQ(p.source.AddCounter(second, "\\Objects\\Threads", threads), Ok);
    ASSERT_EQ(p.source.CollectQueryData(second), Ok);
    EXPECT_EQ(p.source.CloseQuery(second), Ok);
    EXPECT_EQ(p.source.GetFormattedCounterValue(threads, value), InvalidHandle);
    EXPECT_EQ(p.source.CollectQueryData(second), InvalidHandle);
    EXPECT_EQ(p.source.CloseQuery(second), InvalidHandle);
    EXPECT_EQ(p.Read(committed).status, Ok) << "the other query is untouched";
}

TEST(ProviderApiTest, EnumObjectItemsTellsTheSizesThenFillsNameLists)
{
    FixtureProvider p("machine-4cpu");
    std::size_t countersLength = 0;
    std::size_t instancesLength = 0;
    ASSERT_EQ(p.source.EnumObjectItems("processor", nullptr, countersLength, nullptr, instancesLength), MoreData);
    const std::string_view counterList = "% Processor Time\0% User Time\0% Privileged Time\0% Interrupt Time\0"
                                         "% Idle Time\0% DPC Time\0% I/O Wait Time\0% Steal Time\0% Guest Time\0"
                                         "Interrupts/sec\0"sv;
    const std::string_view instanceList = "0\0" "1\0" "2\0" "3\0_Total\0"sv;
    EXPECT_EQ(countersLength, counterList.size() + 1);
    EXPECT_EQ(instancesLength, instanceList.size() + 1);

    std::vector<char> counters(countersLength, 'x');
    std::vector<char> instances(instancesLength, 'x');
    std::size_t shortLength = instancesLength - 1;
    EXPECT_EQ(p.source.EnumObjectItems("Processor", counters.data(), countersLength, instances.data(), shortLength),
              MoreData);
    EXPECT_EQ(shortLength, instancesLength);
    ASSERT_EQ(p.source.EnumObjectItems("Processor", counters.data(), countersLength, instances.data(), instancesLength),
              Ok);
    EXPECT_EQ(std::string_view(counters.data(), counters.size()), std::string(counterList) + '\0');
    EXPECT_EQ(std::string_view(instances.data(), instances.size()), std::string(instanceList) + '\0');

    // An object without instances has an empty list: just the terminating empty name.
    countersLength = instancesLength = 0;
    ASSERT_EQ(p.source.EnumObjectItems("Memory", nullptr, countersLength, nullptr, instancesLength), MoreData);
    EXPECT_EQ(instancesLength, 1U);

    countersLength = instancesLength = 0;
    EXPECT_EQ(p.source.EnumObjectItems("Registry", nullptr, countersLength, nullptr, instancesLength), NoObject);
}

TEST(ProviderApiTest, InstancesOfEveryObject)
{
    FixtureProvider p("machine-4cpu");
    EXPECT_EQ(p.Instances("PhysicalDisk"), (std::vector<std::string>{"sda", "nvme0n1", "_Total"}));
    EXPECT_EQ(p.Instances("Network Interface"), (std::vector<std::string>{"lo", "eth0", "wlan0"}));
    EXPECT_EQ(p.Instances("Paging File"), (std::vector<std::string>{"/dev/sda3", "/swap file", "_Total"}));
    EXPECT_TRUE(p.Instances("System").empty());

    FixtureProvider small("machine-1cpu");
    EXPECT_EQ(small.Instances("Processor"), (std::vector<std::string>{"0", "_Total"}));
    EXPECT_TRUE(small.Instances("Paging File").empty()) << "no swap: no instances";
    EXPECT_EQ(small.Instances("Network Interface"), (std::vector<std::string>{"lo", "ens3"}));
}

TEST(ProviderApiTest, EveryNamedIndexIsAnObjectOrCounterTheProviderServes)
{
    FixtureProvider p("machine-1cpu");
    std::vector<std::string> objects;
    ASSERT_EQ(p.source.EnumObjects(objects), Ok);
    // The objects of the standard counter set come first; objects it does not have (TCP, Pressure ...) follow, without
    // an index.
    const std::vector<std::string> standardObjects = {"Processor", "Memory", "Paging File", "System", "Objects",
                                                      "Server", "LogicalDisk", "PhysicalDisk", "Network Interface"};
    ASSERT_GE(objects.size(), standardObjects.size());
    EXPECT_TRUE(std::equal(standardObjects.begin(), standardObjects.end(), objects.begin()));
    std::set<std::string> counters;
    for (const std::string& object : objects) {
        for (const std::string& counter : p.Counters(object))
            counters.insert(counter);
    }

    std::set<std::string> namedObjects;
    int named = 0;
    for (std::uint32_t index = 0; index < 10000; ++index) {
        std::string name;
        if (p.source.LookupPerfNameByIndex(index, name) != Ok)
            continue;
        ++named;
        EXPECT_EQ(index % 2, 0u) << index << " " << name << ": names sit at even indices";
        const bool isObject = std::find(objects.begin(), objects.end(), name) != objects.end();
        if (isObject) {
            EXPECT_TRUE(namedObjects.insert(name).second) << name << " has two indices";
        }
        EXPECT_TRUE(isObject || counters.contains(name)) << index << " names \"" << name << "\", which nothing serves";
    }
    EXPECT_EQ(namedObjects.size(), standardObjects.size()) << "every standard object has its index";
    EXPECT_GT(named, static_cast<int>(namedObjects.size())) << "and counters have theirs";
    std::string found = "unchanged";
    EXPECT_NE(p.source.LookupPerfNameByIndex(3, found), Ok);
}

TEST(ProviderApiTest, LoopbackIsTheInterfaceOfType772WhateverItsName)
{
    FixtureProvider p("machine-4cpu");
    EXPECT_TRUE(p.source.IsLoopbackInterface("lo"));
    EXPECT_FALSE(p.source.IsLoopbackInterface("eth0"));
    EXPECT_FALSE(p.source.IsLoopbackInterface("missing"));
    EXPECT_FALSE(p.source.IsLoopbackInterface("../lo"));
    p.machine.Write("sys/class/net/eth0/type", "772\n");
    p.machine.Write("sys/class/net/lo/type", "1\n");
    EXPECT_TRUE(p.source.IsLoopbackInterface("eth0"));
    EXPECT_FALSE(p.source.IsLoopbackInterface("lo"));
}

TEST(ProviderApiTest, RootsComeFromTheEnvironmentWhenNotGiven)
{
    FixtureMachine machine("machine-1cpu");
    ::setenv("QUELLARIMOND_PROCFS", machine.ProcRoot().c_str(), 1);
    ::setenv("QUELLARIMOND_SYSFS", machine.SysRoot().c_str(), 1);
    LinuxPerfDataSource source;
    ::unsetenv("QUELLARIMOND_PROCFS");
    ::unsetenv("QUELLARIMOND_SYSFS");
    PerfQueryHandle query = nullptr;
    PerfCounterHandle limit = nullptr;
    PerfCounterHandle speed = nullptr;
    ASSERT_EQ(source.OpenQuery(query), Ok);
    source.AddCounter(query, "\\Memory\\Commit Limit", limit);
    source.AddCounter(query, "\\Network Interface(ens3)\\Current Bandwidth", speed);
    ASSERT_EQ(source.CollectQueryData(query), Ok);
    double value = 0.0;
    EXPECT_EQ(source.GetFormattedCounterValue(limit, value), Ok);
    EXPECT_EQ(value, 2000000.0 * 1024);
    EXPECT_EQ(source.GetFormattedCounterValue(speed, value), Ok);
    EXPECT_EQ(value, 100e6);
    EXPECT_EQ(source.CloseQuery(query), Ok);
}

} // namespace
} // namespace quel::test
