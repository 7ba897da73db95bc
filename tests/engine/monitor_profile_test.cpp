// The monitor's profile hooks, its settings rules, its drawing and its log.

#include "engine/standard_counter_set.h"
#include "tests/engine/monitor_test_support.h"
#include "tests/support/recording_surface.h"
#include "tests/support/temp_folder.h"
#include "tests/support/text_files.h"

#include <filesystem>

namespace quel::test {
namespace {

namespace fs = std::filesystem;

class MonitorProfileTest : public MonitorTest {
protected:
    TempFolder folder;

    void SetUp() override
    {
        source.SetInstances("Processor", {"0", "1", "_Total"});
        MakeMonitor(false);
        BuildStandardCounterSet(true, 0, *monitor);
        monitor->ResetSettings();
        monitor->SetModified(0);
    }
};

TEST_F(MonitorProfileTest, SavesTheDefaultProfileByteForByte)
{
    const fs::path path = folder / "p.qlmd";
    ASSERT_TRUE(monitor->SaveToFile(path.string()));
    EXPECT_EQ(ReadFile(path), ReadFile(fs::path(QUEL_FIXTURES_DIR) / "profile" / "default-2cpu.qlmd"));
}

TEST_F(MonitorProfileTest, ProfileLoadsBackIntoAnEmptiedMonitorUnchanged)
{
    MonitorSettings settings = monitor->GetSettings();
    settings.Interval = 7;
    settings.History = 12;
    settings.CurColor = 0x123456;
    settings.LogMode = 0;
    settings.WndRight = 800;
    monitor->ApplySettings(settings);
    monitor->SetGridStep(30);
    monitor->SetShowNumbers(1);
    monitor->SetAxisDesc(2, "a=b # kept");
    const MonitorSettings saved = monitor->GetSettings();
    const fs::path first = folder / "first.qlmd";
    ASSERT_TRUE(monitor->SaveToFile(first.string()));

    monitor->RemoveAllAxes();
    monitor->ResetSettings();
    ASSERT_TRUE(monitor->LoadFromFile(first.string()));
    EXPECT_EQ(monitor->GetSettings(), saved);
    EXPECT_EQ(monitor->GetGridStep(), 30);
    EXPECT_EQ(monitor->GetAxisCount(), 8);
    std::string path;
    ASSERT_TRUE(monitor->GetCounterPath(5, path));
    EXPECT_EQ(path, "\\Paging File(_Total)\\% Usage");
    EXPECT_FALSE(monitor->IsModified());

    const fs::path second = folder / "second.qlmd";
    ASSERT_TRUE(monitor->SaveToFile(second.string()));
    EXPECT_EQ(ReadFile(first), ReadFile(second));
}

TEST_F(MonitorProfileTest, ReaderKeepsWhatItCannotTake)
{
    const fs::path path = folder / "odd.qlmd";
    WriteFile(path,
              "Interval=0\nHistory=1\nBoldAvg=\nLogFileSize =9\nEnableTray=0\n"
              "BeginAxis\nName=a\nCounter=\nEndAxis\n"
              "BeginAxis\nName=b\nCounter=\\Memory\\Available Bytes\n");
    ASSERT_TRUE(monitor->LoadFromFile(path.string()));
    const MonitorSettings settings = monitor->GetSettings();
    EXPECT_EQ(settings.Interval, 2);
    EXPECT_EQ(settings.History, 30);
    EXPECT_EQ(settings.BoldAvg, 0);
    EXPECT_EQ(settings.LogFileSize, 64);
    EXPECT_EQ(settings.EnableTray, 0);
    ASSERT_EQ(monitor->GetAxisCount(), 10);  // appended to the eight present
    std::string counter = "x";
    ASSERT_TRUE(monitor->GetCounterPath(8, counter));
    EXPECT_EQ(counter, "");
    ASSERT_TRUE(monitor->GetCounterPath(9, counter));
    EXPECT_EQ(counter, "\\Memory\\Available Bytes");
}

TEST_F(MonitorProfileTest, WindowRectangleOffTheScreenIsReset)
{
    const fs::path path = folder / "w.qlmd";
    WriteFile(path, "WndLeft=900\nWndRight=1100\nWndTop=10\nWndBottom=200\n");
    ASSERT_TRUE(monitor->LoadFromFile(path.string()));
    MonitorSettings settings = monitor->GetSettings();
    EXPECT_EQ(settings.WndLeft, 12);
    EXPECT_EQ(settings.WndTop, 9);
    EXPECT_EQ(settings.WndRight, 420);
    EXPECT_EQ(settings.WndBottom, 315);

    WriteFile(path, "WndLeft=100\nWndRight=1024\nWndTop=50\nWndBottom=768\n");
    ASSERT_TRUE(monitor->LoadFromFile(path.string()));
    settings = monitor->GetSettings();
    EXPECT_EQ(settings.WndLeft, 100);
    EXPECT_EQ(settings.WndBottom, 768);
}

TEST_F(MonitorProfileTest, LogFollowsALoadedProfileAndAFailedLoadOnlyClearsTheModifiedFlag)
{
    monitor->SetGridStep(40);
    EXPECT_FALSE(monitor->LoadFromFile((folder / "missing.qlmd").string()));
    EXPECT_FALSE(monitor->IsModified());
    EXPECT_EQ(monitor->GetLogPath(), "");

    const fs::path path = folder / "mine.qlmd";
    ASSERT_TRUE(monitor->SaveToFile(path.string()));
    ASSERT_TRUE(monitor->LoadFromFile(path.string()));
    EXPECT_EQ(fs::path(monitor->GetLogPath()), folder / "Logs" / "mine-log.html");
}

TEST_F(MonitorProfileTest, SettingsChangesMarkTheProfileModifiedOnlyWhereTheyCount)
{
    MonitorSettings settings = monitor->GetSettings();
    settings.CurColor = 0x010203;
    settings.Caption = 0;
    settings.WndLeft = 30;
    monitor->ApplySettings(settings);
    EXPECT_FALSE(monitor->IsModified());
    EXPECT_EQ(monitor->GetSettings().CurColor, 0x010203);

    settings.Interval = 0;    // out of range: ignored, and never copied
    settings.History = 500;
    monitor->ApplySettings(settings);
    EXPECT_FALSE(monitor->IsModified());
    EXPECT_EQ(monitor->GetSettings().Interval, 2);
    EXPECT_EQ(monitor->GetSettings().History, 30);

    settings = monitor->GetSettings();
    settings.LogFileSize = 128;
    monitor->ApplySettings(settings);
    EXPECT_TRUE(monitor->IsModified());
}

TEST_F(MonitorProfileTest, DrawsTheStatusTextWrappedAndCentredInsteadOfTheDiagram)
{
    RecordingSurface surface(10, 20);
    monitor->SetStatusText("Loading counters now");
    monitor->Draw(surface, Rect {0, 0, 200, 100});
    EXPECT_EQ(surface.Count(CallKind::LineTo), 0u);
    ASSERT_EQ(surface.Texts().size(), 1u);
    const DrawnText& text = surface.Texts()[0];
    // Wrapped within 180 pixels: "Loading counters" (160) over "now".
    EXPECT_EQ(text.rect, (Rect {20, 30, 180, 70}));
    EXPECT_EQ(text.flags, static_cast<unsigned>(TextCenter | TextWordBreak));
    EXPECT_EQ(text.textColor, 0xFFFFFF);
    EXPECT_EQ(text.bkColor, 0x000000);
    EXPECT_EQ(surface.CurrentTextColor(), RecordingSurface::InitialTextColor);

    surface.Clear();
    monitor->SetStatusText("");
    monitor->Draw(surface, Rect {0, 0, 200, 100});
    EXPECT_EQ(surface.Count(CallKind::LineTo), 8u);  // one spoke per axis
}

TEST_F(MonitorProfileTest, SamplingWritesTheLogBesideTheProfile)
{
    monitor->RemoveAllAxes();
    source.ScriptValues("\\A\\x", {0, 10, 20, 30});
    AddAxis("\\A\\x");
    MonitorSettings settings = monitor->GetSettings();
    settings.LogMode = 1;
    settings.LogFormat = 1;
    monitor->ApplySettings(settings);
    monitor->SetLogLocation((folder / "s.qlmd").string(), false);
    ASSERT_TRUE(monitor->StartSampling(nullptr, false));
    ASSERT_TRUE(WaitForCurrent(0, 30));
    ASSERT_TRUE(monitor->StopSampling());
    const std::string log = ReadFile(folder / "Logs" / "s-log.csv");
    EXPECT_NE(log.find("Date,Time,\\A\\x\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(",10.00\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(",30.00\r\n"), std::string::npos) << log;
}

} // namespace
} // namespace quel::test
