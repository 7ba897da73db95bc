// A monitor sampling remote computers: a computer that never answers costs failed reads, not a
// stuck sampling thread, and StopSampling still succeeds within its limit.

#include "engine/counter_monitor.h"
#include "platform/linux_perf_data_source.h"
#include "support/server_process.h"
#include "tests/engine/fake_clock.h"
#include "tests/engine/monitor_test_support.h"

#include <gtest/gtest.h>

namespace quel::test {
namespace {

TEST(RemoteSampling, ASilentComputerNeitherStallsSamplingNorStopSampling)
{
    ServerProcess silent;
    ASSERT_TRUE(silent.Start(FakeMetricsServer("silent")));
    LinuxPerfDataSourceOptions options;
    options.remote.deadline = std::chrono::seconds(2);
    LinuxPerfDataSource source(options);
    MonitorEnvironment environment;
    environment.source = &source;
    CounterMonitor monitor(environment);
    monitor.SetUpDefaultProfile();
    monitor.RemoveAllAxes();
    MonitorSettings settings = monitor.GetSettings();
    settings.Interval = 1;
    settings.LogMode = 0;
    monitor.ApplySettings(settings);
    const std::string path = "\\\\127.0.0.1:" + std::to_string(silent.Port()) + "\\Memory\\Available Bytes";
    ASSERT_TRUE(monitor.AddAxis(path, "", 0, 0, 100, 80, 1, std::make_unique<CounterPathData>(path)));
    ASSERT_TRUE(monitor.AddAxis("\\Memory\\Available Bytes", "", 0, 0, 100, 80, 1,
                                std::make_unique<CounterPathData>("\\Memory\\Available Bytes")));

    CountingRepaint repaint;
    ASSERT_TRUE(monitor.StartSampling(&repaint, false));
    // Samples keep coming although every scrape of the silent computer runs into its deadline;
    // the local counter has its value and the remote one shows no data.
    EXPECT_TRUE(WaitFor([&] { return repaint.count >= 4; }, 60000));
    int state = -1;
    monitor.GetValueState(0, state, SeriesCurrent);
    EXPECT_EQ(state, static_cast<int>(WindRoseValueState::NoData));
    monitor.GetValueState(1, state, SeriesCurrent);
    EXPECT_NE(state, static_cast<int>(WindRoseValueState::NoData));
    EXPECT_TRUE(monitor.StopSampling());
}

} // namespace
} // namespace quel::test
