#pragma once
// Test support for the desktop program: prompts and shells that record instead of opening
// windows, a temporary HOME with its XDG folders, the fixture machine as performance data, and
// an application started the way the program starts.

#include "desktop/dialog_runner.h"
#include "desktop/prompt.h"
#include "desktop/quellarimond_app.h"
#include "platform/user_interface.h"
#include "profile/monitor_settings.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <ostream>

// Readable failures for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace quel {
class CounterMonitor;
}

namespace quel::desktop::test {

class GatedSource;

class ScriptedPrompt final : public Prompt {
public:
    void Message(const QString& text) override { messages.push_back(text); }
    Answer Question(const QString& text, bool applicationModal) override;
    QString OpenProfileName() override { return openName; }
    QString SaveProfileName(const QString& suggestion) override;
    QString OpenLogName() override { return logName; }
    std::optional<QColor> ChooseColor(const QColor& initial, const CustomColors& customColors) override;

    std::vector<QString> messages;
    std::vector<QString> questions;
    std::vector<bool> questionModality;
    std::deque<Answer> answers;         // taken in turn; when empty, defaultAnswer
    Answer defaultAnswer = Answer::No;
    QString openName;
    QString logName;
    QString saveName;
    std::vector<QString> saveSuggestions;
    std::optional<QColor> color;        // the chooser's answer (none: cancelled)
    QColor colorInitial;
    CustomColors customColors;
};

class RecordingShell final : public Shell {
public:
    bool OpenUrl(const QUrl& url) override
    {
        opened.push_back(url);
        return succeed;
    }
    std::vector<QUrl> opened;
    bool succeed = true;
};

// Runs the program's dialogs without a modal loop: each is shown and handed to the next script,
// and closed with Cancel when the script left it open. Without scripts a dialog gets OK.
class ScriptedDialogs final : public DialogRunner {
public:
    int Run(QDialog& dialog) override;

    std::deque<std::function<void(QDialog&)>> scripts;
    std::vector<QString> shown;  // class names, in order
};

class RecordingSink final : public MessageSink {
public:
    void ShowMessage(const std::string& text) override;
    std::vector<std::string> Messages() const;

private:
    mutable std::mutex lock_;
    std::vector<std::string> messages_;
};

// Processes events until condition holds; false after timeoutMs.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 15000);
// Whether a sampling thread of this process is running.
bool SamplingRunning();
using quel::test::ReadFile;
using quel::test::WriteFile;

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the application as the program does (InitInstance with these arguments);
    // trayAvailable is the first answer of the tray probe, trayPresent the later ones.
    CQuellarimondApp& Start(const QStringList& arguments = {}, bool trayAvailable = false);
    CQuellarimondDoc& Doc() const;
    CMainFrame& Frame() const;
    CounterMonitor& Monitor() const;

    // Holds the sampling thread of the monitor in OpenQuery until gate->Open(); call before Start.
    void UseGatedSource();

    // A profile with the default counters and the given changes to its settings.
    std::string MakeProfile(const std::string& path, const std::function<void(MonitorSettings&)>& change = {});
    void SetRegistry(const std::string& key, const std::string& name, const std::string& value) const;
    std::string GetRegistry(const std::string& key, const std::string& name) const;
    bool HasRegistryValue(const std::string& key, const std::string& name) const;

    // Folders of this test, each with a trailing "/".
    std::string root;           // the temporary HOME
    std::string programFolder;  // where new profiles go
    std::string helpFolder;
    std::string cacheFolder;
    QString runtimeFolder;

    std::unique_ptr<PerfDataSource> source;
    GatedSource* gate = nullptr;        // the source, after UseGatedSource
    Clock* clock = nullptr;             // the monitor's clock; null: the system clock
    ScriptedPrompt prompt;
    RecordingShell shell;
    RecordingSink sink;
    ScriptedDialogs dialogs;
    std::unique_ptr<CQuellarimondApp> app;
    bool trayPresent = false;
    std::function<bool()> trayProbe;  // when set, asked instead of trayPresent

    static constexpr ScreenSize Screen {1024, 768};

private:
    QTemporaryDir home_;
};

} // namespace quel::desktop::test
