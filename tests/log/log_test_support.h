#pragma once
// What the log tests share: a clock set by hand, a message recorder, a scratch folder, and a
// fixture holding a small wind rose and the settings a writer reads.

#include "log/log_writer.h"
#include "tests/support/axis_samples.h"
#include "tests/support/temp_folder.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace quel::test {

class FixedClock final : public Clock {
public:
    std::time_t now = 1709647629;  // Tuesday, March 05, 2024 at 14:07:09 UTC
    std::uint32_t TickCount() override { return 0; }
    void Sleep(std::uint32_t) override {}
    std::time_t Now() override { return now; }
};

class RecordingSink final : public MessageSink {
public:
    std::vector<std::string> messages;
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
};

// Runs body in a child process; its exit code, or -1 when a signal ended it.
inline int InChild(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 100;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string Fixture(const std::string& name)
{
    return ReadFile(std::filesystem::path(QUEL_FIXTURES_DIR) / "log" / name);
}

class LogTest : public ::testing::Test {
protected:
    LogTest()
    {
        setenv("TZ", "UTC", 1);
        tzset();
        settings = DefaultMonitorSettings(ScreenSize {});
        settings.LogMode = 1;
    }

    LogContext Context() { return LogContext {rose, settings, interactive, &sink, clock, problems}; }

    void AddAxis(const char* name, double maximum, double critical, double multiplier = 1.0, bool inverse = false)
    {
        rose.AddAxis(name, "", inverse ? 1 : 0, 0.0, maximum, critical, multiplier, nullptr);
    }

    std::filesystem::path ProfilePath() const { return folder.Path() / "Disk Watch.qlmd"; }
    std::filesystem::path LogFolder() const { return folder.Path() / "Logs"; }
    std::filesystem::path HtmlLog() const { return LogFolder() / "Disk Watch-log.html"; }
    std::filesystem::path HtmlBackup() const { return LogFolder() / "Disk Watch-log-bkup.html"; }
    std::filesystem::path CsvLog() const { return LogFolder() / "Disk Watch-log.csv"; }

    // Opens the log beside the profile and starts statistics, as a monitor does.
    void OpenAndStart()
    {
        writer.SetLogLocation(ProfilePath().string(), false, Context());
        Start();
    }
    void Start()
    {
        writer.ResetValues(rose.GetAxisCount());
        writer.StartLogSection(Context());
    }
    void Row(std::vector<double> raw)
    {
        clock.now += 2;
        writer.WriteLogRow(SampleOf(rose, raw), Context());
    }

    TempFolder folder;
    WindRose rose {32, 4};
    MonitorSettings settings {};
    FixedClock clock;
    RecordingSink sink;
    bool interactive = true;
    MessageSink* problems = nullptr;
    LogWriter writer;
};

} // namespace quel::test
