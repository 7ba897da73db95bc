// The profile document: start-up with and without a last profile, new profile names, open,
// save, the silent save, colours, logs and Connect to.

#include "tests/desktop/desktop_test_support.h"

#include "tests/desktop/gated_source.h"
#include "tests/engine/fake_clock.h"

#include "desktop/command_table.h"
#include "desktop/document_dialogs.h"
#include "desktop/main_frame.h"
#include "desktop/new_profile_path.h"
#include "desktop/program_folder.h"
#include "desktop/quellarimond_doc.h"
#include "desktop/retarget_counters.h"
#include "engine/counter_monitor.h"
#include "platform/registry.h"
#include "tests/support/profile_verdict_set.h"
#include "support/server_process.h"
#include "support/temp_folder.h"

#include <QFileInfo>

#include <atomic>
#include <filesystem>

#include <sys/stat.h>

namespace quel::desktop::test {
namespace {

using DocumentTest = DesktopTest;

bool HasSampledValues(CounterMonitor& monitor)
{
    for (int i = 0; i < monitor.GetAxisCount(); ++i) {
        double current = 0, maximum = 0, average = 0;
        if (monitor.GetStatistics(i, current, maximum, average) && current >= 0.0)
            return true;
    }
    return false;
}

TEST_F(DocumentTest, FirstStartEverMakesMyProfileAndSamplesTheStandardCounters)
{
    Start();
    const QString expected = QString::fromStdString(programFolder + "MyProfile.qlmd");
    EXPECT_EQ(Doc().GetPathName(), expected);
    EXPECT_EQ(GetRegistry("Settings", "NewFileNum"), "1");
    EXPECT_TRUE(app->Document()->WizardAfterStart());
    EXPECT_FALSE(app->Document()->ReopensLastProfile());
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("MyProfile.qlmd - Quellarimond"));
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_GT(Monitor().GetAxisCount(), 0);
    EXPECT_TRUE(app->RecentFiles().Entries().isEmpty()) << "a new profile is listed once it is saved";
    EXPECT_TRUE(WaitUntil([&] { return HasSampledValues(Monitor()); }));
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(DocumentTest, BothRegistryKeysExistOnceTheProgramHasStarted)
{
    const auto exists = [](const char* key) { return RegistryKey::Open(RegistryHive::CurrentUser, key).has_value(); };
    Start();  // a first start: a new profile, nothing in the recent files yet
    EXPECT_TRUE(exists("Settings"));
    EXPECT_TRUE(exists("Recent File List"));

    app.reset();
    std::filesystem::remove(RegistryKey::HiveFile(RegistryHive::CurrentUser));
    Start({QString::fromStdString(MakeProfile(root + "Given.qlmd"))});  // no new profile is named
    EXPECT_TRUE(exists("Settings"));
    EXPECT_TRUE(exists("Recent File List"));
}

TEST_F(DocumentTest, NewFileNumberContinuesFromTheRegistry)
{
    SetRegistry("Settings", "NewFileNum", "7");
    Start();
    EXPECT_EQ(Doc().GetPathName(), QString::fromStdString(programFolder + "MyProfile8.qlmd"));
    EXPECT_EQ(GetRegistry("Settings", "NewFileNum"), "8");

    // File > New: the next number, after the modified query.
    prompt.defaultAnswer = Answer::No;
    ASSERT_TRUE(app->OnFileNew());
    EXPECT_EQ(Doc().GetPathName(), QString::fromStdString(programFolder + "MyProfile9.qlmd"));
    EXPECT_EQ(GetRegistry("Settings", "NewFileNum"), "9");
    EXPECT_TRUE(SamplingRunning());
}

TEST_F(DocumentTest, UnreadableNewFileNumberCountsFromOne)
{
    SetRegistry("Settings", "NewFileNum", "abc");
    Start();
    EXPECT_EQ(Doc().GetPathName(), QString::fromStdString(programFolder + "MyProfile.qlmd"));
    EXPECT_EQ(GetRegistry("Settings", "NewFileNum"), "1");
}

TEST(NewProfilePath, ParsesLikeTheCLibraryAndNamesTheFirstOneWithoutNumber)
{
    EXPECT_EQ(ParseFileNumber(""), 0);
    EXPECT_EQ(ParseFileNumber("abc"), 0);
    EXPECT_EQ(ParseFileNumber("  12x"), 12);
    EXPECT_EQ(ParseFileNumber("+3"), 3);
    EXPECT_EQ(ParseFileNumber("-4"), -4);
    EXPECT_EQ(ParseFileNumber("99999999999999999999"), 2147483647);
    EXPECT_EQ(NewProfileFileName(1), "MyProfile.qlmd");
    EXPECT_EQ(NewProfileFileName(2), "MyProfile2.qlmd");
}

TEST_F(DocumentTest, NewProfileNeverTakesTheNameOfAnExistingFile)
{
    WriteFile(programFolder + "MyProfile.qlmd", "older profile\n");
    WriteFile(programFolder + "MyProfile2.qlmd", "older profile\n");
    EXPECT_EQ(MakeNewProfilePath(programFolder), programFolder + "MyProfile3.qlmd");
    EXPECT_EQ(GetRegistry("Settings", "NewFileNum"), "3");
    EXPECT_EQ(MakeNewProfilePath(programFolder), programFolder + "MyProfile4.qlmd");
    EXPECT_EQ(ReadFile(programFolder + "MyProfile.qlmd"), "older profile\n");
}

TEST_F(DocumentTest, NewProfilesGoToTheUserDataFolderWhenTheProgramFolderIsUnusable)
{
    const std::string data = root + "data/Quellarimond/";
    EXPECT_EQ(NewProfileFolder(""), data);
    EXPECT_EQ(NewProfileFolder(root + "no such folder/"), data);
    EXPECT_TRUE(std::filesystem::is_directory(data));
    EXPECT_EQ(NewProfileFolder(programFolder), programFolder);
}

TEST_F(DocumentTest, StartReopensAReadableFile1AtItsRectangle)
{
    const std::string path = MakeProfile(root + "Server.qlmd", [](MonitorSettings& s) {
        s.WndLeft = 100;
        s.WndTop = 120;
        s.WndRight = 500;
        s.WndBottom = 420;
    });
    SetRegistry("Recent File List", "File1", path);
    Start();
    EXPECT_EQ(Doc().GetPathName(), QString::fromStdString(path));
    EXPECT_FALSE(app->Document()->WizardAfterStart());
    EXPECT_EQ(Frame().GetWindowRect(), (Rect {100, 120, 500, 420}));
    EXPECT_EQ(Frame().frameGeometry().topLeft(), QPoint(100, 120));
    EXPECT_EQ(Frame().size(), QSize(400, 300));
    EXPECT_EQ(app->RecentFiles().Entries().value(0), QString::fromStdString(path));
    EXPECT_FALSE(HasRegistryValue("Settings", "NewFileNum")) << "no new profile was made";
    EXPECT_TRUE(WaitUntil([&] { return HasSampledValues(Monitor()); }));
}

TEST_F(DocumentTest, MissingFile1MakesANewProfile)
{
    SetRegistry("Recent File List", "File1", root + "gone.qlmd");
    Start();
    EXPECT_EQ(Doc().GetPathName(), QString::fromStdString(programFolder + "MyProfile.qlmd"));
    EXPECT_TRUE(app->Document()->WizardAfterStart());
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(DocumentTest, OpenOfAMissingFileLeavesAnEmptyUnsampledProfileUnderItsName)
{
    const std::string path = MakeProfile(root + "First.qlmd");
    SetRegistry("Recent File List", "File1", path);
    Start();
    const QString missing = QString::fromStdString(root + "missing.qlmd");

    ASSERT_TRUE(app->OpenDocumentFile(missing));
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0],
              QStringLiteral("Cannot read file: ") + missing + QStringLiteral("\nNo such file or directory"));
    EXPECT_EQ(Monitor().GetAxisCount(), 0);
    EXPECT_FALSE(SamplingRunning());
    EXPECT_EQ(Monitor().GetStatusText(), "");
    EXPECT_EQ(Doc().GetPathName(), missing);
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("missing.qlmd - Quellarimond"));
    EXPECT_EQ(app->RecentFiles().Entries(), QStringList {QString::fromStdString(path)});

    // The exit's modified query asks nothing and writes nothing.
    EXPECT_TRUE(app->SaveModified());
    EXPECT_TRUE(prompt.questions.empty());
    EXPECT_FALSE(QFileInfo::exists(missing));

    // An explicit save makes the file, and its log now sits beside it.
    ASSERT_TRUE(app->OnFileSave());
    EXPECT_TRUE(QFileInfo::exists(missing));
    EXPECT_EQ(Monitor().GetLogPath(), root + "Logs/missing-log.html");
    EXPECT_EQ(app->RecentFiles().Entries().value(0), missing);
}

TEST_F(DocumentTest, AFileThatIsNoProfileIsReportedAndNeverOverwritten)
{
    const std::string notes = root + "notes.txt";
    WriteFile(notes, "my notes\nInterval=3\n");
    const std::string good = MakeProfile(root + "Good.qlmd");

    Start({QString::fromStdString(notes)});
    ASSERT_EQ(prompt.messages.size(), 1u);
    // The message names the file, and the reason on a line of its own.
    EXPECT_EQ(prompt.messages[0],
              QStringLiteral("Cannot read file: ") + QString::fromStdString(notes)
                  + QStringLiteral("\nnot a profile (neither the profile header nor an axis section)"));
    EXPECT_TRUE(Frame().isVisible()) << "start-up goes on";
    EXPECT_EQ(Monitor().GetAxisCount(), 0);
    EXPECT_FALSE(SamplingRunning());

    // Dropped together with a profile: opened one after the other, the last one stays open,
    // and nothing is written over the notes.
    prompt.messages.clear();
    app->OpenDroppedFiles({QString::fromStdString(notes), QString::fromStdString(good)});
    EXPECT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(Doc().GetPathName(), QString::fromStdString(good));
    EXPECT_GT(Monitor().GetAxisCount(), 0);
    EXPECT_EQ(ReadFile(notes), "my notes\nInterval=3\n");
    EXPECT_FALSE(app->RecentFiles().Entries().contains(QString::fromStdString(notes)));
}

TEST_F(DocumentTest, GivesTheProgramsVerdictOnTheSharedFileSet)
{
    Start({QString::fromStdString(MakeProfile(root + "Good.qlmd"))});
    quel::test::TempFolder folder;
    for (const quel::test::VerdictCase& file : quel::test::MakeProfileVerdictSet(folder)) {
        const QString path = QString::fromStdString(file.path.string());
        const bool regular = std::filesystem::is_regular_file(file.path);  // reading a FIFO would block
        const std::string before = regular ? ReadFile(file.path) : std::string();
        prompt.messages.clear();
        ASSERT_TRUE(app->OpenDocumentFile(path)) << file.name;
        if (file.isProfile) {
            EXPECT_TRUE(prompt.messages.empty()) << file.name << ": " << prompt.messages.front().toStdString();
        } else {
            ASSERT_EQ(prompt.messages.size(), 1u) << file.name;
            const QString reason = QString::fromStdString(file.reason);
            EXPECT_EQ(prompt.messages[0], QStringLiteral("Cannot read file: ") + path + QLatin1Char('\n') + reason)
                << file.name;
            EXPECT_EQ(Monitor().GetAxisCount(), 0) << file.name;
            // What is not a profile is never saved over.
            EXPECT_TRUE(app->SaveModified());
            if (regular) {
                EXPECT_EQ(ReadFile(file.path), before) << file.name;
            }
        }
    }
}

TEST_F(DocumentTest, SaveKeepsTheLogAndSaveAsMovesIt)
{
    const std::string path = MakeProfile(root + "Desk.qlmd");
    SetRegistry("Recent File List", "File1", path);
    Start();
    ASSERT_EQ(Monitor().GetLogPath(), root + "Logs/Desk-log.html");

    ASSERT_TRUE(app->OnFileSave());
    EXPECT_EQ(Monitor().GetLogPath(), root + "Logs/Desk-log.html");

    const std::string other = root + "elsewhere/";
    std::filesystem::create_directories(other);
    prompt.saveName = QString::fromStdString(other + "Copy.qlmd");
    ASSERT_TRUE(app->OnFileSaveAs());
    EXPECT_EQ(prompt.saveSuggestions.back(), QString::fromStdString(path));
    EXPECT_EQ(Doc().GetPathName(), prompt.saveName);
    EXPECT_EQ(Monitor().GetLogPath(), other + "Logs/Copy-log.html");
    EXPECT_TRUE(std::filesystem::exists(other + "Logs/Copy-log.html"));
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("Copy.qlmd - Quellarimond"));
    EXPECT_EQ(app->RecentFiles().Entries().value(0), prompt.saveName);
    EXPECT_TRUE(SamplingRunning()) << "saving does not stop sampling";
}

TEST_F(DocumentTest, SaveToAnUnwritablePlaceIsReportedAndTheProfileStaysModified)
{
    Start();
    Monitor().SetModified(1);
    prompt.saveName = QString::fromStdString(root + "no such folder/P.qlmd");
    EXPECT_FALSE(app->OnFileSaveAs());
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0], QStringLiteral("Cannot write to file: ") + prompt.saveName);
    EXPECT_EQ(Doc().GetPathName(), QString::fromStdString(programFolder + "MyProfile.qlmd"));
    EXPECT_TRUE(Monitor().IsModified());
}

TEST_F(DocumentTest, AMovedWindowIsSavedSilently)
{
    const std::string path = MakeProfile(root + "Moved.qlmd");
    SetRegistry("Recent File List", "File1", path);
    Start();
    Frame().MoveWindowTo(Rect {50, 60, 450, 360});

    EXPECT_TRUE(app->SaveModified());
    EXPECT_TRUE(prompt.questions.empty());
    const std::string text = ReadFile(path);
    EXPECT_NE(text.find("WndLeft=50"), std::string::npos) << text;
    EXPECT_NE(text.find("WndTop=60"), std::string::npos);
    EXPECT_NE(text.find("WndRight=450"), std::string::npos);
    EXPECT_NE(text.find("WndBottom=360"), std::string::npos);
}

TEST_F(DocumentTest, AModifiedProfileAsksAndCancelKeepsEverything)
{
    const std::string path = MakeProfile(root + "Asked.qlmd");
    SetRegistry("Recent File List", "File1", path);
    Start();
    const std::string before = ReadFile(path);
    Monitor().SetModified(1);
    Frame().MoveWindowTo(Rect {70, 80, 470, 380});

    prompt.answers = {Answer::Cancel};
    EXPECT_FALSE(app->SaveModified());
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0], QStringLiteral("Save changes to %1?").arg(QString::fromStdString(path)));
    EXPECT_EQ(ReadFile(path), before);

    prompt.answers = {Answer::No};
    EXPECT_TRUE(app->SaveModified());
    EXPECT_EQ(ReadFile(path), before);

    prompt.answers = {Answer::Yes};
    EXPECT_TRUE(app->SaveModified());
    EXPECT_NE(ReadFile(path).find("WndLeft=70"), std::string::npos);
    EXPECT_FALSE(Monitor().IsModified());
}

TEST(RetargetCounterPath, ReplacesOrRemovesTheMachinePart)
{
    EXPECT_EQ(RetargetCounterPath("\\\\old\\Processor(_Total)\\% Processor Time", "srv1"),
              "\\\\srv1\\Processor(_Total)\\% Processor Time");
    EXPECT_EQ(RetargetCounterPath("\\Memory\\Available Bytes", "srv1"), "\\\\srv1\\Memory\\Available Bytes");
    EXPECT_EQ(RetargetCounterPath("\\\\old\\Memory\\Available Bytes", ""), "\\Memory\\Available Bytes");
    EXPECT_EQ(RetargetCounterPath("\\\\old", "srv1"), "\\\\srv1\\\\old");
    EXPECT_EQ(RetargetCounterPath("\\\\old", ""), "\\\\old");
    EXPECT_EQ(RetargetCounterPath("", "srv1"), "\\\\srv1");
}

TEST_F(DocumentTest, RetargetCountersRewritesEveryAxisAndSamplesAgain)
{
    Start();
    {
        ASSERT_TRUE(WaitUntil([&] { return Monitor().StopSampling(); }));
        Monitor().RemoveAllAxes();
        Monitor().AddAxis("cpu", "", 0, 0, 100, 80, 1,
                          std::make_unique<CounterPathData>("\\\\old\\Processor(_Total)\\% Processor Time"));
        Monitor().AddAxis("mem", "", 0, 0, 100, 80, 1, std::make_unique<CounterPathData>("\\Memory\\Available Bytes"));
        Monitor().SetModified(0);
    }
    // A closed loopback port stands for the computer: a name would be looked up in DNS.
    ASSERT_TRUE(Doc().RetargetCounters("127.0.0.1:1"));
    std::string path;
    Monitor().GetCounterPath(0, path);
    EXPECT_EQ(path, "\\\\127.0.0.1:1\\Processor(_Total)\\% Processor Time");
    Monitor().GetCounterPath(1, path);
    EXPECT_EQ(path, "\\\\127.0.0.1:1\\Memory\\Available Bytes");
    EXPECT_TRUE(Monitor().IsModified());
    EXPECT_TRUE(SamplingRunning());

    ASSERT_TRUE(Doc().RetargetCounters(""));
    Monitor().GetCounterPath(0, path);
    EXPECT_EQ(path, "\\Processor(_Total)\\% Processor Time");
    EXPECT_TRUE(prompt.messages.empty());
}

// Connect to "127.0.0.1:PORT" as typed: the counters are read from that computer's metrics
// endpoint; a blank name brings them back to this machine.
TEST_F(DocumentTest, ConnectToAHostAndPortSamplesThatComputerAndBlankReturnsToLocal)
{
    quel::test::TempFolder pages;
    const std::filesystem::path page = pages.Write("metrics", "node_memory_MemAvailable_bytes 123456512\n"
                                                              "node_memory_MemTotal_bytes 987654321\n");
    quel::test::ServerProcess server;
    ASSERT_TRUE(server.Start(quel::test::FakeMetricsServer("page", page.string())));
    Start();
    ASSERT_TRUE(WaitUntil([&] { return Monitor().StopSampling(); }));
    Monitor().RemoveAllAxes();
    Monitor().AddAxis("mem", "", 0, 0, 100, 80, 1, std::make_unique<CounterPathData>("\\Memory\\Available Bytes"));
    const auto current = [&] {
        double value = 0, maximum = 0, average = 0;
        Monitor().GetStatistics(0, value, maximum, average);
        return value;
    };

    ASSERT_TRUE(Doc().RetargetCounters("127.0.0.1:" + std::to_string(server.Port())));
    std::string path;
    Monitor().GetCounterPath(0, path);
    EXPECT_EQ(path, "\\\\127.0.0.1:" + std::to_string(server.Port()) + "\\Memory\\Available Bytes");
    EXPECT_TRUE(WaitUntil([&] { return current() == 123456512.0; })) << current();

    ASSERT_TRUE(Doc().RetargetCounters(""));
    EXPECT_TRUE(WaitUntil([&] { return current() > 0 && current() != 123456512.0; })) << current();
    EXPECT_EQ(RetargetCounterPath("\\Memory\\Available Bytes", "[::1]:9100"), "\\\\[::1]:9100\\Memory\\Available Bytes");
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(DocumentTest, ColourCommandsOfferGradientsAndDoNotMarkTheProfile)
{
    Start();
    Monitor().SetModified(0);
    const MonitorSettings before = Monitor().GetSettings();

    prompt.color = QColor(255, 0, 0);
    ASSERT_TRUE(ChooseSettingColor(prompt, Doc(), FindCommand(CmdColorMax)->color));
    EXPECT_EQ(prompt.colorInitial, QColor(0x7F, 0xFF, 0xFF));  // 0xFFFF7F: red 0x7F
    EXPECT_EQ(prompt.customColors[0], QColor(0, 255, 255));
    EXPECT_EQ(prompt.customColors[15], QColor(0, 195, 195));
    EXPECT_EQ(Monitor().GetSettings().MaxColor, 0x0000FF);
    EXPECT_FALSE(Monitor().IsModified());

    ASSERT_TRUE(ChooseSettingColor(prompt, Doc(), FindCommand(CmdColorAverage)->color));
    EXPECT_EQ(prompt.customColors[1], QColor(0, 251, 0));
    ASSERT_TRUE(ChooseSettingColor(prompt, Doc(), FindCommand(CmdColorCurrent)->color));
    EXPECT_EQ(prompt.customColors[2], QColor(247, 247, 0));

    prompt.color = std::nullopt;  // cancelled
    EXPECT_FALSE(ChooseSettingColor(prompt, Doc(), FindCommand(CmdBackColor)->color));
    EXPECT_EQ(Monitor().GetSettings().BackColor, before.BackColor);

    prompt.color = QColor(0, 0, 0x80);
    ASSERT_TRUE(ChooseSettingColor(prompt, Doc(), FindCommand(CmdBackColor)->color));
    EXPECT_EQ(Monitor().GetSettings().BackColor, 0x800000);
    EXPECT_FALSE(Monitor().IsModified());
}

TEST_F(DocumentTest, ViewLogOpensTheLogOrAsksWhenLoggingIsOff)
{
    const std::string path = MakeProfile(root + "Logged.qlmd", [](MonitorSettings& s) { s.LogMode = 0; });
    SetRegistry("Recent File List", "File1", path);
    Start();

    prompt.answers = {Answer::No};
    ViewLog(*app, Doc(), &Frame());
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0], QStringLiteral("Logging is turned off. Would you like to change log options?"));
    EXPECT_TRUE(prompt.questionModality[0]);
    EXPECT_TRUE(shell.opened.empty());

    MonitorSettings settings = Monitor().GetSettings();
    settings.LogMode = 1;
    Monitor().ApplySettings(settings);
    ViewLog(*app, Doc(), &Frame());
    EXPECT_EQ(prompt.questions.size(), 1u);
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], QUrl::fromLocalFile(QString::fromStdString(root + "Logs/Logged-log.html")));
}

TEST_F(DocumentTest, RestartAndResetMaxKeepSampling)
{
    Start();
    ASSERT_TRUE(WaitUntil([&] { return HasSampledValues(Monitor()); }));
    Doc().OnResetMax();
    Doc().OnRestart();
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_TRUE(SamplingRunning());
    Doc().OnRestart();  // at once again, while the new thread may still be starting
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_TRUE(WaitUntil([&] { return HasSampledValues(Monitor()); }));
}

// Time moves only by sleeps. Once it has gone more than a given span past the moment the clock
// is armed, the next reading of the tick count runs a hook, once.
class HookedClock final : public quel::test::FakeClock {
public:
    void Arm(std::uint32_t span, std::function<void()> hook)
    {
        start_ = FakeClock::TickCount();
        span_ = span;
        hook_ = std::move(hook);
        armed_ = true;
    }
    std::uint32_t Since() { return FakeClock::TickCount() - start_; }
    std::uint32_t TickCount() override
    {
        const std::uint32_t now = FakeClock::TickCount();
        if (now - start_ > span_ && armed_.exchange(false))
            hook_();
        return now;
    }

private:
    std::uint32_t start_ = 0;
    std::uint32_t span_ = 0;
    std::function<void()> hook_;
    std::atomic<bool> armed_ {false};
};

// A sampling thread held in its query as by a slow network: Restart and Open wait for it once,
// at most 5 s in all, then say so and keep the profile.
TEST_F(DocumentTest, AStopThatRunsOutOfTimeIsReportedAfterOneWait)
{
    HookedClock fakeClock;
    clock = &fakeClock;
    UseGatedSource();
    Start({QString::fromStdString(MakeProfile(root + "Slow.qlmd"))});
    const QString cannotStop = QStringLiteral(
        "Cannot stop counter collecting process. The most possible reason is the slowness of the network during "
        "connection to the remote machine. Please try to update the data later.");

    // The thread would end a moment after the stop's time has run out: no second wait for it.
    fakeClock.Arm(CounterMonitor::StopTimeLimitMilliseconds, [this] { gate->Open(); });
    Doc().OnRestart();
    ASSERT_EQ(prompt.messages.size(), 1u) << "Restart waited for the thread a second time";
    EXPECT_EQ(prompt.messages[0].toStdString(), cannotStop.toStdString());
    EXPECT_LT(fakeClock.Since(), CounterMonitor::StopTimeLimitMilliseconds + 100);
    ASSERT_TRUE(WaitUntil([] { return !SamplingRunning(); }));
    Doc().OnRestart();
    EXPECT_EQ(prompt.messages.size(), 1u) << "the ended thread lets Restart start again";
    EXPECT_TRUE(SamplingRunning());
}

TEST_F(DocumentTest, AnOpenWhileSamplingCannotStopKeepsTheProfile)
{
    quel::test::FakeClock fakeClock;
    clock = &fakeClock;
    UseGatedSource();
    const QString path = QString::fromStdString(MakeProfile(root + "Slow.qlmd"));
    const QString other = QString::fromStdString(MakeProfile(root + "Other.qlmd"));
    Start({path});
    const int axes = Monitor().GetAxisCount();
    ASSERT_GT(axes, 0);
    const std::uint32_t before = fakeClock.TickCount();
    EXPECT_FALSE(app->OpenDocumentFile(other));
    EXPECT_LT(fakeClock.TickCount() - before, CounterMonitor::StopTimeLimitMilliseconds + 100);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_TRUE(prompt.messages[0].startsWith(QStringLiteral("Cannot stop counter collecting process.")));
    EXPECT_EQ(Doc().GetPathName(), path);
    EXPECT_EQ(Monitor().GetAxisCount(), axes);
}

TEST_F(DocumentTest, ClosingRightAfterStartWaitsForTheSamplingThread)
{
    for (int i = 0; i < 3; ++i) {
        Start();
        app.reset();
        EXPECT_FALSE(SamplingRunning());
    }
}

} // namespace
} // namespace quel::desktop::test
