// The HTTP module is loaded at the first remote counter and never before; without it remote
// counters fail with their own status and the program is told once.

#include "fixture_machine.h"
#include "platform/linux_perf_data_source.h"
#include "support/process_maps.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace quel::test {
namespace {

TEST(RemoteModule, AProgramWatchingOnlyItsOwnMachineNeverMapsIt)
{
    FixtureProvider provider("machine-4cpu");
    const PerfCounterHandle cpu = provider.Add("\\\\localhost\\Memory\\Committed Bytes");
    const PerfCounterHandle memory = provider.Add("\\\\quelbox\\Memory\\Available Bytes");
    provider.Collect();
    provider.CollectAfter(1);
    EXPECT_EQ(provider.Read(cpu).status, perf_status::Ok);
    EXPECT_EQ(provider.Read(memory).status, perf_status::Ok);
    EXPECT_FALSE(provider.Instances("Processor").empty());
    EXPECT_FALSE(IsFileMapped("quel_remote.so"));
    EXPECT_FALSE(IsFileMapped("libcurl.so.4"));

    // The first remote counter loads it, whether or not the computer answers.
    provider.Add("\\\\127.0.0.1:1\\Memory\\Available Bytes");
    EXPECT_TRUE(IsFileMapped("quel_remote.so"));
    EXPECT_TRUE(IsFileMapped("libcurl.so.4"));
}

TEST(RemoteModule, WithoutItRemoteCountersFailWithTheirOwnStatusAndOneNotice)
{
    TempFolder empty;
    setenv("QUELLARIMOND_MODULE_DIR", empty.Path().c_str(), 1);
    std::vector<std::string> notices;
    LinuxPerfDataSourceOptions options;
    options.remote.notice = [&](const std::string& text) { notices.push_back(text); };
    LinuxPerfDataSource source(options);
    PerfQueryHandle query = nullptr;
    ASSERT_EQ(source.OpenQuery(query), perf_status::Ok);
    PerfCounterHandle first = nullptr;
    PerfCounterHandle second = nullptr;
    EXPECT_EQ(source.AddCounter(query, "\\\\web01\\Memory\\Available Bytes", first), perf_status::RemoteUnavailable);
    EXPECT_EQ(source.AddCounter(query, "\\\\web02:9100\\Memory\\Available Bytes", second),
              perf_status::RemoteUnavailable);
    source.CollectQueryData(query);
    double value = 1.0;
    EXPECT_EQ(source.GetFormattedCounterValue(first, value), perf_status::RemoteUnavailable);
    EXPECT_EQ(value, 0.0);
    EXPECT_EQ(source.GetFormattedCounterValue(second, value), perf_status::RemoteUnavailable);
    std::size_t counters = 0;
    std::size_t instances = 0;
    EXPECT_EQ(source.EnumObjectItems("Memory", nullptr, counters, nullptr, instances, "web03"),
              perf_status::RemoteUnavailable);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("quel_remote.so"), std::string::npos) << notices[0];
}

} // namespace
} // namespace quel::test
