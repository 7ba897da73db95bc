// What the saver shows: its profile, or the standard counters when it has none it can use.

#include "engine/counter_monitor.h"
#include "saver/saver_profile.h"
#include "tests/platform/fixture_machine.h"
#include "tests/support/temp_folder.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

namespace quel::saver {
namespace {

class SaverProfileTest : public ::testing::Test {
protected:
    SaverProfileTest() : monitor(Environment(provider))
    {
        monitor.SetUpDefaultProfile();
        standardAxes = monitor.GetAxisCount();
    }
    static MonitorEnvironment Environment(quel::test::FixtureProvider& provider)
    {
        MonitorEnvironment environment;
        environment.source = &provider.source;
        return environment;
    }
    void ExpectFallback(const std::string& path)
    {
        // Settings a half-read profile could have left behind.
        MonitorSettings changed = monitor.GetSettings();
        changed.LogMode = 2;
        changed.Interval = 60;
        monitor.ApplySettings(changed);
        EXPECT_FALSE(LoadSaverProfile(monitor, path)) << path;
        EXPECT_EQ(monitor.GetAxisCount(), standardAxes) << path;
        EXPECT_EQ(monitor.GetSettings().Interval, 4) << path;
        EXPECT_EQ(monitor.GetSettings().LogMode, 0) << path;
    }

    quel::test::FixtureProvider provider {"machine-4cpu"};
    CounterMonitor monitor;
    int standardAxes = 0;
    quel::test::TempFolder folder;
};

TEST_F(SaverProfileTest, AProfileKeepsItsAxesAndSettingsLoggingIncluded)
{
    const auto path = folder.Write("shown.qlmd",
                                   quel::test::ReadFile(std::string(QUEL_FIXTURES_DIR) + "/profile/default-2cpu.qlmd"));
    ASSERT_TRUE(LoadSaverProfile(monitor, path.string()));
    EXPECT_EQ(monitor.GetSettings().Interval, 2);
    EXPECT_EQ(monitor.GetSettings().LogMode, 2);
    EXPECT_EQ(monitor.GetLogPath().rfind(folder.Path().string(), 0), 0u) << monitor.GetLogPath();
}

TEST_F(SaverProfileTest, WhatIsNoUsableProfileGivesTheStandardCountersEveryFourSecondsWithoutLog)
{
    ExpectFallback("");
    ExpectFallback((folder / "missing.qlmd").string());
    ExpectFallback(folder.Path().string());
    ExpectFallback(folder.Write("picture.qlmd", std::string("\x89PNG\r\n\0\0\0", 10)).string());
    ExpectFallback(folder.Write("empty.qlmd", "# QUELLARIMOND CONFIGURATION FILE. DO NOT MODIFY!\nInterval=9\n").string());
}

} // namespace
} // namespace quel::saver
