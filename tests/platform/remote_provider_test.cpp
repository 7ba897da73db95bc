#include "remote_machine.h"

#include "support/server_process.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include "platform/object_catalog.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iterator>
#include <set>
#include <deque>
#include <filesystem>
#include <thread>

namespace quel::test {
namespace {

using namespace std::chrono_literals;

struct Pair {
    std::string path;
    PerfCounterHandle local = nullptr;
    PerfCounterHandle remote = nullptr;
};

Reading Read(PerfDataSource& source, PerfCounterHandle counter)
{
    Reading reading{0, 0.0};
    reading.status = source.GetFormattedCounterValue(counter, reading.value);
    return reading;
}

class NodeExporterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!node.Running())
            GTEST_SKIP() << "prometheus-node-exporter could not be started";
        node.Advance(0);
        ASSERT_EQ(node.local->OpenQuery(localQuery), perf_status::Ok);
        ASSERT_EQ(node.remote->OpenQuery(remoteQuery), perf_status::Ok);
    }

    Pair& Add(const std::string& path)
    {
        Pair& pair = pairs.emplace_back();
        pair.path = path;
        node.local->AddCounter(localQuery, path, pair.local);
        node.remote->AddCounter(remoteQuery, node.Remote(path), pair.remote);
        return pair;
    }

    void CollectBoth()
    {
        node.local->CollectQueryData(localQuery);
        node.remote->CollectQueryData(remoteQuery);
    }

    NodeExporterMachine node;
    PerfQueryHandle localQuery = nullptr;
    PerfQueryHandle remoteQuery = nullptr;
    std::deque<Pair> pairs;
};

// The boot time that NodeExporterMachine writes into /proc/stat.
constexpr long BootTime = 1796746685;

// The instances the local provider lists for an object; "" for an object without instances.
std::vector<std::string> LocalInstances(PerfDataSource& source, std::string_view object)
{
    std::size_t countersLength = 0;
    std::size_t instancesLength = 0;
    source.EnumObjectItems(object, nullptr, countersLength, nullptr, instancesLength);
    std::vector<char> counters(countersLength);
    std::vector<char> instances(instancesLength);
    if (source.EnumObjectItems(object, counters.data(), countersLength, instances.data(), instancesLength)
        != perf_status::Ok)
        return {};
    std::vector<std::string> names = SplitNameList(instances.data());
    return names.empty() ? std::vector<std::string>{""} : names;
}

std::string PathOf(std::string_view object, const std::string& instance, std::string_view counter)
{
    return "\\" + std::string(object) + (instance.empty() ? "" : "(" + instance + ")") + "\\" + std::string(counter);
}

// The same machine read from its files and through the node exporter gives the same counters:
// rates from two collections over the same time, percentages from the same jiffies. Every
// counter of the catalogue that a node exporter serves is tried on every instance of the
// machine; what the page does not give by default is named below, each with its reason.
TEST_F(NodeExporterTest, CountersEqualThoseOfTheLocalProviderOnTheSameTree)
{
    for (const ObjectFamily* family : ObjectCatalog()) {
        for (const std::string& instance : LocalInstances(*node.local, family->name)) {
            for (const CounterInfo& counter : family->counters) {
                if (counter.AvailableRemotely())
                    Add(PathOf(family->name, instance, counter.name));
            }
        }
    }
    CollectBoth();
    node.Advance(1);
    // The page's up time is its clock less the boot time of /proc/stat: the uptime file agrees.
    const auto sinceBoot = std::chrono::system_clock::now().time_since_epoch() - std::chrono::seconds(BootTime);
    node.machine.Write("proc/uptime", std::to_string(std::chrono::duration<double>(sinceBoot).count()) + " 100.00\n");
    node.clock.Advance(2.0);
    CollectBoth();

    const std::set<std::string> notOnTheDefaultPage = {
        // The processes collector is off by default.
        "\\Objects\\Processes", "\\Objects\\Threads", "\\System\\Processes", "\\System\\Threads",
        // Per-processor interrupts need the interrupts collector, off by default.
        "\\Processor(0)\\Interrupts/sec", "\\Processor(1)\\Interrupts/sec", "\\Processor(2)\\Interrupts/sec",
        "\\Processor(3)\\Interrupts/sec",
        // Node exporter 1.5 serves no cpu "full" stall total (newer ones do).
        "\\Pressure(cpu)\\% Full Stalled",
        // The page gives swap as one sum, never by area.
        "\\Paging File(/dev/sda3)\\% Usage", "\\Paging File(/dev/sda3)\\% Usage Peak",
        "\\Paging File(/swap file)\\% Usage", "\\Paging File(/swap file)\\% Usage Peak",
        // The thermal zone collector serves no trip points.
        "\\Thermal Zone Information(acpitz)\\Critical Temperature",
        // The drm collector is off by default (GpuFiguresEqualThoseOfTheFiles turns it on).
        "\\GPU Engine(card0)\\Utilization Percentage", "\\GPU Adapter Memory(card0)\\Dedicated Usage",
        "\\GPU Adapter Memory(card0)\\Dedicated Limit", "\\GPU Adapter Memory(card0)\\Shared Usage",
    };
    std::set<std::string> missing;
    int compared = 0;
    for (const Pair& pair : pairs) {
        const Reading local = Read(*node.local, pair.local);
        const Reading remote = Read(*node.remote, pair.remote);
        if (local.status != perf_status::Ok) {
            // No value here (an unknown link speed, nothing sent): none there either.
            EXPECT_NE(remote.status, perf_status::Ok) << pair.path;
            continue;
        }
        if (remote.status != perf_status::Ok) {
            missing.insert(pair.path);
            continue;
        }
        // Free space comes from two statfs calls on a live file system a moment apart.
        const bool liveDisk = pair.path.starts_with("\\LogicalDisk") && pair.path.find("Free") != std::string::npos;
        const double tolerance = liveDisk                      ? 1e-3 * std::max(1.0, std::fabs(local.value))
            : pair.path.ends_with("System Up Time") ? 5.0  // two clocks read a moment apart
                                                     : 1e-9 * std::max(1.0, std::fabs(local.value));
        EXPECT_NEAR(remote.value, local.value, tolerance) << pair.path;
        ++compared;
    }
    std::set<std::string> unexpected;
    std::set_difference(missing.begin(), missing.end(), notOnTheDefaultPage.begin(), notOnTheDefaultPage.end(),
                        std::inserter(unexpected, unexpected.begin()));
    EXPECT_TRUE(unexpected.empty()) << "read here but not from the page: " << ::testing::PrintToString(unexpected);
    RecordProperty("compared", compared);
    EXPECT_GT(compared, 150);
}

TEST_F(NodeExporterTest, WhatThePageCannotGiveIsAFailedReadNotANumber)
{
    // The processes collector is off by default; servers sessions and the registry have no
    // metrics at all; an instance the page does not list does not exist.
    Pair& processes = Add("\\Objects\\Processes");
    Pair& sessions = Add("\\Server\\Server Sessions");
    Pair& quota = Add("\\System\\% Registry Quota In Use");
    Pair& disk = Add("\\LogicalDisk(/nowhere)\\% Free Space");
    // The page links no file system to a disk it lists by major:minor.
    Pair& volumeIo = Add("\\LogicalDisk(/)\\Disk Reads/sec");
    Pair& volumeIoTotal = Add("\\LogicalDisk(_Total)\\Avg. Disk sec/Transfer");
    Pair& unknown = Add("\\Nonsense\\Counter");
    Pair& rate = Add("\\Processor(0)\\% Processor Time");
    // Each CPU's interrupts come from the interrupts collector, off by default; _Total's do not.
    Pair& cpuInterrupts = Add("\\Processor(0)\\Interrupts/sec");
    Pair& systemThreads = Add("\\System\\Threads");
    Pair& cpuFull = Add("\\Pressure(cpu)\\% Full Stalled");
    // The node exporter serves no control groups.
    Pair& group = Add("\\Control Group(system.slice/ssh.service)\\Memory Bytes");
    Pair& zoneCritical = Add("\\Thermal Zone Information(acpitz)\\Critical Temperature");
    // The drm collector is off by default: the page tells nothing of graphics cards.
    Pair& gpu = Add("\\GPU Adapter Memory(card0)\\Dedicated Usage");
    // The node exporter serves no process by name.
    Pair& processCpu = Add("\\Process(proc315)\\% Processor Time");
    CollectBoth();
    EXPECT_EQ(Read(*node.remote, group.remote).status, perf_status::NotRemote);
    EXPECT_EQ(Read(*node.local, zoneCritical.local).status, perf_status::Ok);
    EXPECT_EQ(Read(*node.remote, zoneCritical.remote).status, perf_status::NotRemote);
    EXPECT_EQ(Read(*node.remote, gpu.remote).status, perf_status::NotRemote);
    EXPECT_EQ(Read(*node.remote, processCpu.remote).status, perf_status::NotRemote);
    EXPECT_EQ(Read(*node.remote, cpuInterrupts.remote).status, perf_status::NotRemote);
    EXPECT_EQ(Read(*node.remote, systemThreads.remote).status, perf_status::NotRemote);
    for (const Pair* pair : {&processes, &sessions, &quota, &disk, &unknown})
        EXPECT_NE(Read(*node.remote, pair->remote).status, perf_status::Ok) << pair->path;
    EXPECT_EQ(Read(*node.remote, unknown.remote).status, perf_status::NoObject);
    EXPECT_EQ(Read(*node.remote, volumeIo.remote).status, perf_status::NotRemote);
    EXPECT_EQ(Read(*node.remote, volumeIoTotal.remote).status, perf_status::NotRemote);
    // A rate needs two pages.
    EXPECT_EQ(Read(*node.remote, rate.remote).status, perf_status::NoData);
    // Node exporter 1.5 serves no cpu "full" total: that instance fails rather than reading 0.
    EXPECT_EQ(Read(*node.remote, cpuFull.remote).status, perf_status::NotRemote);
    EXPECT_EQ(Read(*node.local, cpuFull.local).status, perf_status::NoData);
    // The netstat collector serves only some SNMP fields by default.
    for (const char* path : {"\\IPv4\\Datagrams/sec", "\\IPv6\\Datagrams Received Discarded",
                             "\\TCP\\Connection Failures", "\\TCP\\Connections Reset"}) {
        const Pair& pair = Add(path);
        node.remote->CollectQueryData(remoteQuery);
        EXPECT_EQ(Read(*node.remote, pair.remote).status, perf_status::NotRemote) << path;
    }
}

TEST_F(NodeExporterTest, EnumerationListsTheRemoteInstances)
{
    std::size_t countersLength = 0;
    std::size_t instancesLength = 0;
    ASSERT_EQ(node.remote->EnumObjectItems("Processor", nullptr, countersLength, nullptr, instancesLength,
                                           node.Computer()),
              perf_status::MoreData);
    std::vector<char> counters(countersLength);
    std::vector<char> instances(instancesLength);
    ASSERT_EQ(node.remote->EnumObjectItems("Processor", counters.data(), countersLength, instances.data(),
                                           instancesLength, node.Computer()),
              perf_status::Ok);
    EXPECT_EQ(SplitNameList(instances.data()), (std::vector<std::string>{"0", "1", "2", "3", "_Total"}));
    EXPECT_EQ(SplitNameList(counters.data()).front(), "% Processor Time");

    countersLength = instancesLength = 0;
    node.remote->EnumObjectItems("PhysicalDisk", nullptr, countersLength, nullptr, instancesLength, node.Computer());
    counters.resize(countersLength);
    instances.resize(instancesLength);
    ASSERT_EQ(node.remote->EnumObjectItems("PhysicalDisk", counters.data(), countersLength, instances.data(),
                                           instancesLength, node.Computer()),
              perf_status::Ok);
    EXPECT_EQ(SplitNameList(instances.data()), (std::vector<std::string>{"nvme0n1", "sda", "_Total"}));

    countersLength = instancesLength = 0;
    node.remote->EnumObjectItems("Pressure", nullptr, countersLength, nullptr, instancesLength, node.Computer());
    counters.resize(countersLength);
    instances.resize(instancesLength);
    ASSERT_EQ(node.remote->EnumObjectItems("Pressure", counters.data(), countersLength, instances.data(),
                                           instancesLength, node.Computer()),
              perf_status::Ok);
    EXPECT_EQ(SplitNameList(instances.data()), (std::vector<std::string>{"cpu", "memory", "io"}));

    // The page names sensors as this computer does (chip name and label, RAPL zone names), so
    // the same paths reach them; it orders chips by the exporter's chip label, not by hwmonN.
    for (const char* object : {"Thermal Zone Information", "Fan", "Power Meter", "Battery"}) {
        countersLength = instancesLength = 0;
        node.remote->EnumObjectItems(object, nullptr, countersLength, nullptr, instancesLength, node.Computer());
        counters.resize(countersLength);
        instances.resize(instancesLength);
        ASSERT_EQ(node.remote->EnumObjectItems(object, counters.data(), countersLength, instances.data(),
                                               instancesLength, node.Computer()),
                  perf_status::Ok);
        std::vector<std::string> remote = SplitNameList(instances.data());
        std::vector<std::string> local = LocalInstances(*node.local, object);
        std::sort(remote.begin(), remote.end());
        std::sort(local.begin(), local.end());
        EXPECT_EQ(remote, local) << object;
    }

    std::vector<std::string> objects;
    ASSERT_EQ(node.remote->EnumObjects(objects, node.Computer()), perf_status::Ok);
    EXPECT_NE(std::find(objects.begin(), objects.end(), "Memory"), objects.end());
}

// With the drm collector on, the page gives the amdgpu card's figures as its files do, listed
// under the same card; the connector and render node are no cards there either.
TEST(NodeExporterDrmTest, GpuFiguresEqualThoseOfTheFiles)
{
    NodeExporterMachine node({"--collector.drm"});
    if (!node.Running())
        GTEST_SKIP() << "prometheus-node-exporter could not be started";
    node.Advance(0);
    PerfQueryHandle localQuery = nullptr;
    PerfQueryHandle remoteQuery = nullptr;
    ASSERT_EQ(node.local->OpenQuery(localQuery), perf_status::Ok);
    ASSERT_EQ(node.remote->OpenQuery(remoteQuery), perf_status::Ok);
    EXPECT_EQ(LocalInstances(*node.local, "GPU Engine"), std::vector<std::string>{"card0"});
    std::vector<Pair> pairs;
    for (const char* path : {"\\GPU Engine(card0)\\Utilization Percentage", "\\GPU Adapter Memory(card0)\\Dedicated Usage",
                             "\\GPU Adapter Memory(card0)\\Dedicated Limit", "\\GPU Adapter Memory(card0)\\Shared Usage"}) {
        Pair& pair = pairs.emplace_back();
        pair.path = path;
        node.local->AddCounter(localQuery, path, pair.local);
        node.remote->AddCounter(remoteQuery, node.Remote(path), pair.remote);
    }
    for (int step = 0; step < 2; ++step) {
        node.Advance(step);
        node.clock.Advance(1.0);
        node.local->CollectQueryData(localQuery);
        node.remote->CollectQueryData(remoteQuery);
        for (const Pair& pair : pairs) {
            const Reading local = Read(*node.local, pair.local);
            const Reading remote = Read(*node.remote, pair.remote);
            ASSERT_EQ(local.status, perf_status::Ok) << pair.path;
            ASSERT_EQ(remote.status, perf_status::Ok) << pair.path;
            EXPECT_EQ(remote.value, local.value) << pair.path;
        }
    }
    EXPECT_EQ(Read(*node.local, pairs[0].local).value, 46.0) << "the second step's figure";

    std::size_t countersLength = 0;
    std::size_t instancesLength = 0;
    node.remote->EnumObjectItems("GPU Adapter Memory", nullptr, countersLength, nullptr, instancesLength,
                                 node.Computer());
    std::vector<char> counters(countersLength);
    std::vector<char> instances(instancesLength);
    ASSERT_EQ(node.remote->EnumObjectItems("GPU Adapter Memory", counters.data(), countersLength, instances.data(),
                                           instancesLength, node.Computer()),
              perf_status::Ok);
    EXPECT_EQ(SplitNameList(instances.data()), std::vector<std::string>{"card0"});
    // With the collector on, a card the page does not list does not exist there.
    PerfCounterHandle absent = nullptr;
    node.remote->AddCounter(remoteQuery, node.Remote("\\GPU Engine(card7)\\Utilization Percentage"), absent);
    node.remote->CollectQueryData(remoteQuery);
    EXPECT_EQ(Read(*node.remote, absent).status, perf_status::NoInstance);
    node.local->CloseQuery(localQuery);
    node.remote->CloseQuery(remoteQuery);
}

// Our own service's page: counters found by their path, whatever computer the path names.
class ServicePageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Serve("# TYPE quellarimond_axis_current_value gauge\n"
              "quellarimond_axis_current_value{profile=\"web\",axis=\"CPU\",path=\"\\\\Processor(_Total)\\\\% Processor Time\"} 12.5\n"
              "quellarimond_axis_current_value{profile=\"web\",axis=\"Disk \\\"/\\\"\",path=\"\\\\\\\\db01\\\\LogicalDisk(/)\\\\% Free Space\"} 40\n"
              "quellarimond_axis_current_value{profile=\"web\",axis=\"broken\",path=\"\\\\Memory\\\\Pages/sec\"} NaN\n"
              "quellarimond_samples_total 17\n");
        ASSERT_TRUE(server.Start(FakeMetricsServer("page", page.string())));
        source = std::make_unique<LinuxPerfDataSource>(RemoteProviderOptions(clock, 2s, 2s));
        ASSERT_EQ(source->OpenQuery(query), perf_status::Ok);
    }
    void Serve(const std::string& text) { page = folder.Write("page.txt", text); }
    std::string Computer() const { return "localhost:" + std::to_string(server.Port()); }
    Reading Sample(const std::string& path)
    {
        PerfCounterHandle counter = nullptr;
        source->AddCounter(query, "\\\\" + Computer() + path, counter);
        source->CollectQueryData(query);
        return Read(*source, counter);
    }

    TempFolder folder;
    std::filesystem::path page;
    ServerProcess server;
    ManualClock clock;
    std::unique_ptr<LinuxPerfDataSource> source;
    PerfQueryHandle query = nullptr;
};

TEST_F(ServicePageTest, ReadsCountersByPathAndFailsNaNAndAbsentOnes)
{
    const Reading cpu = Sample("\\processor(_Total)\\% processor time");
    EXPECT_EQ(cpu.status, perf_status::Ok);
    EXPECT_DOUBLE_EQ(cpu.value, 12.5);
    const Reading disk = Sample("\\LogicalDisk(/)\\% Free Space");
    EXPECT_EQ(disk.status, perf_status::Ok);
    EXPECT_DOUBLE_EQ(disk.value, 40.0);
    EXPECT_EQ(Sample("\\Memory\\Pages/sec").status, perf_status::Unreadable);
    EXPECT_EQ(Sample("\\Memory\\Available Bytes").status, perf_status::NoInstance);
    // Instances are compared exactly, as on this machine.
    EXPECT_EQ(Sample("\\Processor(_total)\\% Processor Time").status, perf_status::NoInstance);
}

TEST_F(ServicePageTest, EnumerationListsTheObjectsOfThePaths)
{
    std::vector<std::string> objects;
    ASSERT_EQ(source->EnumObjects(objects, Computer()), perf_status::Ok);
    EXPECT_EQ(objects, (std::vector<std::string>{"Processor", "LogicalDisk", "Memory"}));
    std::size_t countersLength = 0;
    std::size_t instancesLength = 0;
    ASSERT_EQ(source->EnumObjectItems("logicaldisk", nullptr, countersLength, nullptr, instancesLength, Computer()),
              perf_status::MoreData);
    std::vector<char> counters(countersLength);
    std::vector<char> instances(instancesLength);
    ASSERT_EQ(source->EnumObjectItems("logicaldisk", counters.data(), countersLength, instances.data(),
                                      instancesLength, Computer()),
              perf_status::Ok);
    EXPECT_EQ(SplitNameList(counters.data()), std::vector<std::string>{"% Free Space"});
    EXPECT_EQ(SplitNameList(instances.data()), std::vector<std::string>{"/"});
    EXPECT_EQ(source->EnumObjectItems("Registry", nullptr, countersLength, nullptr, instancesLength, Computer()),
              perf_status::NoObject);
}

// A computer that goes away fails its counters; when it answers again its rates prime afresh.
TEST_F(ServicePageTest, AComputerThatComesBackPrimesItsRatesAgain)
{
    const std::string nodePage = folder.Write("node.txt", "node_context_switches_total 1000\n").string();
    ServerProcess node;
    ASSERT_TRUE(node.Start(FakeMetricsServer("page", nodePage)));
    PerfCounterHandle counter = nullptr;
    source->AddCounter(query, "\\\\127.0.0.1:" + std::to_string(node.Port()) + "\\System\\Context Switches/sec",
                       counter);
    const auto collectAfter = [&](double seconds, const std::string& value) {
        if (value.empty())
            std::filesystem::remove(nodePage);
        else
            folder.Write("node.txt", "node_context_switches_total " + value + "\n");
        clock.Advance(seconds);
        source->CollectQueryData(query);
        return Read(*source, counter);
    };
    EXPECT_EQ(collectAfter(0, "1000").status, perf_status::NoData);
    const Reading first = collectAfter(2, "3000");
    EXPECT_EQ(first.status, perf_status::Ok);
    EXPECT_DOUBLE_EQ(first.value, 1000.0);
    EXPECT_EQ(collectAfter(2, "").status, perf_status::NoMachine);
    // Back: the first page only primes, so the outage is not averaged into a rate.
    EXPECT_EQ(collectAfter(2, "9000").status, perf_status::NoData);
    const Reading again = collectAfter(2, "9400");
    EXPECT_EQ(again.status, perf_status::Ok);
    EXPECT_DOUBLE_EQ(again.value, 200.0);
}

// Endpoints that misbehave: every read fails, nothing hangs, nothing crashes, and the next
// collection is not held up by a scrape that is still hanging.
TEST(RemoteFailures, SilentTruncatedHugeAndGarbagePagesAreFailedReads)
{
    ManualClock clock;
    LinuxPerfDataSource source(RemoteProviderOptions(clock, 1500ms, 300ms));
    PerfQueryHandle query = nullptr;
    ASSERT_EQ(source.OpenQuery(query), perf_status::Ok);
    std::vector<std::unique_ptr<ServerProcess>> servers;
    std::vector<PerfCounterHandle> counters;
    for (const char* mode : {"silent", "midpage", "huge", "garbage"}) {
        servers.push_back(std::make_unique<ServerProcess>());
        ASSERT_TRUE(servers.back()->Start(FakeMetricsServer(mode))) << mode;
        for (const char* path : {"\\Memory\\Available Bytes", "\\Processor(_Total)\\% Processor Time"}) {
            PerfCounterHandle counter = nullptr;
            source.AddCounter(query, "\\\\127.0.0.1:" + std::to_string(servers.back()->Port()) + path, counter);
            counters.push_back(counter);
        }
    }
    // A closed port: nothing listens there.
    PerfCounterHandle closed = nullptr;
    source.AddCounter(query, "\\\\127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "\\Memory\\Available Bytes",
                      closed);
    counters.push_back(closed);
    for (int collection = 0; collection < 4; ++collection) {
        clock.Advance(1);
        ASSERT_EQ(source.CollectQueryData(query), perf_status::Ok);
        for (PerfCounterHandle counter : counters)
            EXPECT_NE(Read(source, counter).status, perf_status::Ok) << collection;
    }
    EXPECT_EQ(source.CloseQuery(query), perf_status::Ok);
}

TEST(RemoteFailures, MalformedComputerPartsAreBadPathsAndNeverFetched)
{
    ManualClock clock;
    LinuxPerfDataSource source(RemoteProviderOptions(clock, 500ms, 100ms));
    PerfQueryHandle query = nullptr;
    ASSERT_EQ(source.OpenQuery(query), perf_status::Ok);
    for (const char* path : {"\\\\host:0\\Memory\\Available Bytes", "\\\\a b\\Memory\\Available Bytes",
                             "\\\\user@evil:80\\Memory\\Available Bytes", "\\\\[::1\\Memory\\Available Bytes"}) {
        PerfCounterHandle counter = nullptr;
        EXPECT_EQ(source.AddCounter(query, path, counter), perf_status::BadPath) << path;
        source.CollectQueryData(query);
        EXPECT_EQ(Read(source, counter).status, perf_status::BadPath) << path;
    }
}

} // namespace
} // namespace quel::test
