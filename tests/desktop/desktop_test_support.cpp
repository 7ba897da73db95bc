#include "tests/desktop/desktop_test_support.h"

#include "tests/desktop/gated_source.h"

#include "desktop/main_frame.h"
#include "desktop/quellarimond_doc.h"
#include "engine/counter_monitor.h"
#include "engine/sampling_control.h"
#include "platform/linux_perf_data_source.h"
#include "platform/registry.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

namespace quel::desktop::test {

Answer ScriptedPrompt::Question(const QString& text, bool applicationModal)
{
    questions.push_back(text);
    questionModality.push_back(applicationModal);
    if (answers.empty())
        return defaultAnswer;
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

QString ScriptedPrompt::SaveProfileName(const QString& suggestion)
{
    saveSuggestions.push_back(suggestion);
    return saveName;
}

std::optional<QColor> ScriptedPrompt::ChooseColor(const QColor& initial, const CustomColors& custom)
{
    colorInitial = initial;
    customColors = custom;
    return color;
}

void RecordingSink::ShowMessage(const std::string& text)
{
    std::lock_guard guard(lock_);
    messages_.push_back(text);
}

std::vector<std::string> RecordingSink::Messages() const
{
    std::lock_guard guard(lock_);
    return messages_;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

bool SamplingRunning()
{
    SamplingControl& control = SamplingControl::Instance();
    std::lock_guard guard(control.lock);
    return control.running;
}

void DesktopTest::SetUp()
{
    ASSERT_TRUE(home_.isValid());
    root = home_.path().toStdString() + "/";
    programFolder = root + "program/";
    helpFolder = programFolder + "Help/";
    cacheFolder = root + "cache/";
    runtimeFolder = home_.path() + QStringLiteral("/run");
    for (const std::string& folder : {programFolder, helpFolder, root + "config", root + "data", cacheFolder})
        QDir().mkpath(QString::fromStdString(folder));
    QDir().mkpath(runtimeFolder);
    QFile::setPermissions(runtimeFolder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (const char* page : {"help.html", "useit.html", "log.html", "troubles.html"})
        WriteFile(helpFolder + page, std::string("<html><body>") + page + "</body></html>\n");

    qputenv("HOME", QByteArray::fromStdString(root));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(root + "config"));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(root + "data"));
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cacheFolder));
    qputenv("XDG_RUNTIME_DIR", runtimeFolder.toUtf8());

    const std::string machine = std::string(QUEL_FIXTURES_DIR) + "/machine-4cpu/";
    source = std::make_unique<LinuxPerfDataSource>(machine + "proc", machine + "sys");
}

void DesktopTest::TearDown()
{
    if (gate)
        gate->Open();
    app.reset();
    EXPECT_FALSE(SamplingRunning());
    source.reset();
}

void DesktopTest::UseGatedSource()
{
    auto gated = std::make_unique<GatedSource>(std::move(source));
    gate = gated.get();
    source = std::move(gated);
}

CQuellarimondApp& DesktopTest::Start(const QStringList& arguments, bool trayAvailable)
{
    AppEnvironment environment;
    environment.source = source.get();
    environment.prompt = &prompt;
    environment.shell = &shell;
    environment.messages = &sink;
    environment.programFolder = programFolder;
    environment.helpFolder = helpFolder;
    environment.trayAvailable = trayAvailable;
    environment.screen = Screen;
    environment.clock = clock;
    app = std::make_unique<CQuellarimondApp>(std::move(environment));
    EXPECT_TRUE(app->InitInstance(arguments));
    return *app;
}

CQuellarimondDoc& DesktopTest::Doc() const
{
    return *app->Document();
}

CMainFrame& DesktopTest::Frame() const
{
    return *app->MainFrame();
}

CounterMonitor& DesktopTest::Monitor() const
{
    return app->Document()->GetMonitor();
}

std::string DesktopTest::MakeProfile(const std::string& path, const std::function<void(MonitorSettings&)>& change)
{
    MonitorEnvironment environment;
    environment.source = source.get();
    environment.screen = Screen;
    CounterMonitor monitor(environment);
    monitor.SetUpDefaultProfile();
    MonitorSettings settings = monitor.GetSettings();
    if (change)
        change(settings);
    monitor.ApplySettings(settings);
    EXPECT_TRUE(monitor.SaveToFile(path)) << path;
    return path;
}

void DesktopTest::SetRegistry(const std::string& key, const std::string& name, const std::string& value) const
{
    std::optional<RegistryKey> registry = RegistryKey::Create(RegistryHive::CurrentUser, key);
    ASSERT_TRUE(registry.has_value());
    ASSERT_TRUE(registry->SetString(name, value));
}

std::string DesktopTest::GetRegistry(const std::string& key, const std::string& name) const
{
    std::string value;
    if (std::optional<RegistryKey> registry = RegistryKey::Open(RegistryHive::CurrentUser, key))
        registry->GetString(name, value);
    return value;
}

bool DesktopTest::HasRegistryValue(const std::string& key, const std::string& name) const
{
    std::string value;
    std::optional<RegistryKey> registry = RegistryKey::Open(RegistryHive::CurrentUser, key);
    return registry && registry->GetString(name, value);
}

} // namespace quel::desktop::test
