#include "desktop/quellarimond_doc.h"

#include "desktop/counters_dlg.h"
#include "desktop/log_settings_dlg.h"
#include "desktop/main_frame.h"
#include "desktop/native_path.h"
#include "desktop/new_profile_path.h"
#include "desktop/new_profile_wizard.h"
#include "desktop/page_opener.h"
#include "desktop/preferences_dlg.h"
#include "desktop/quellarimond_app.h"
#include "desktop/quellarimond_view.h"
#include "desktop/remote_host_dlg.h"
#include "desktop/retarget_counters.h"
#include "desktop/string_table.h"
#include "engine/standard_counter_set.h"
#include "gui/qt_color.h"
#include "platform/registry.h"
#include "profile/profile_file.h"

#include <QFileInfo>

#include <algorithm>

namespace quel::desktop {

namespace {

constexpr std::uint32_t StopRetryPauseMilliseconds = 10;

MonitorEnvironment MakeMonitorEnvironment(const AppEnvironment& app)
{
    MonitorEnvironment environment;
    environment.source = app.source;
    environment.interactive = true;
    environment.messages = app.messages;
    environment.screen = app.screen.value_or(ScreenSize {});
    environment.clock = app.clock;
    return environment;
}

} // namespace

std::int32_t MonitorSettings::*ColorField(int target)
{
    switch (target) {
    case ColorMax:
        return &MonitorSettings::MaxColor;
    case ColorAverage:
        return &MonitorSettings::AvgColor;
    case ColorCurrent:
        return &MonitorSettings::CurColor;
    case ColorBack:
        return &MonitorSettings::BackColor;
    case ColorText:
        return &MonitorSettings::TextColor;
    case ColorLines:
        return &MonitorSettings::LineColor;
    case ColorCritical:
        return &MonitorSettings::CritColor;
    default:
        return nullptr;
    }
}

CQuellarimondDoc::CQuellarimondDoc(CQuellarimondApp& app)
    : app_(app), monitor_(MakeMonitorEnvironment(app.Environment()))
{
    app_.ActiveDocument = this;
    monitor_.SetUpDefaultProfile();
}

CQuellarimondDoc::~CQuellarimondDoc()
{
    monitor_.StopSampling();
    for (CQuellarimondView* view : views_)
        view->DetachDocument();
    if (app_.ActiveDocument == this)
        app_.ActiveDocument = nullptr;
}

QString CQuellarimondDoc::GetTitle() const
{
    if (pathName_.isEmpty())
        return QString::fromLatin1(text::Untitled);
    return QFileInfo(pathName_).fileName();
}

void CQuellarimondDoc::SetPathName(const QString& path, bool addToRecentFiles)
{
    pathName_ = path;
    if (addToRecentFiles && !path.isEmpty())
        app_.RecentFiles().Add(path);
    if (CMainFrame* frame = app_.MainFrame())
        frame->UpdateTitle();
}

// --- hooks ---------------------------------------------------------------------------------

bool CQuellarimondDoc::NewProfile()
{
    // Axes are only replaced once the sampling thread has ended.
    if (!StopSamplingForChange()) {
        Message(QString::fromLatin1(text::CannotStop));
        return false;
    }
    SetPathName(QString(), false);
    documentModified_ = false;
    loadFailed_ = false;
    monitor_.RemoveAllAxes();

    if (app_.ReopenLastProfile) {
        app_.ReopenLastProfile = 0;
        std::string last;
        app_.WizardAfterStart = ReadLastProfilePath(last) ? 0 : 1;
        if (!last.empty() && LoadProfile(last)) {
            SetPathName(FromNative(last), true);
        } else {
            app_.WizardAfterStart = 1;
            PrepareNewProfile();
        }
        StartMonitoring(false);
    } else {
        PrepareNewProfile();
        StartMonitoring(true);
        RunNewProfileWizard();
        if (monitor_.GetAxisCount() == 0)
            monitor_.SetModified(0);  // an empty profile does not ask to be saved
    }
    return true;
}

bool CQuellarimondDoc::OpenProfile(const QString& path)
{
    if (!StopSamplingForChange()) {
        Message(QString::fromLatin1(text::CannotStop));
        return false;
    }
    app_.ReopenLastProfile = 0;
    monitor_.RemoveAllAxes();
    monitor_.ResetSettings();
    documentModified_ = false;

    const std::string native = ToNative(path);
    if (LoadProfile(native)) {
        loadFailed_ = false;
        if (CMainFrame* frame = app_.MainFrame())
            frame->MoveWindowTo(GetSavedWindowRect());
        SetPathName(path, true);
        StartMonitoring(false);
        return true;
    }

    Message(QString::fromLatin1(text::CannotRead) + path);
    // An empty profile under the new name, not sampled. Its log goes nowhere until the profile
    // is saved, and it is never saved silently over the file that could not be read.
    loadFailed_ = true;
    monitor_.RemoveAllAxes();
    monitor_.ResetSettings();
    monitor_.SetModified(0);
    monitor_.SetLogLocation(std::string(), false);
    monitor_.SetStatusText(std::string());
    RefreshViews();
    return true;
}

bool CQuellarimondDoc::SaveProfile(const QString& path)
{
    const std::string native = ToNative(path);
    if (!monitor_.SaveToFile(native)) {
        Message(QString::fromLatin1(text::CannotWrite) + path);
        return false;
    }
    // The log moves with a profile saved under a new name (or first saved after a failed open).
    if (path != pathName_ || loadFailed_)
        monitor_.SetLogLocation(native, true);
    documentModified_ = false;
    loadFailed_ = false;
    return true;
}

bool CQuellarimondDoc::NeedsSaving()
{
    const bool result = documentModified_ || monitor_.IsModified();
    if (CMainFrame* frame = app_.MainFrame()) {
        const Rect rect = frame->GetWindowRect();
        if (rect.bottom > 0 && rect.right > 0 && rect.bottom > rect.top && rect.right > rect.left) {
            MonitorSettings settings = monitor_.GetSettings();
            settings.WndLeft = rect.left;
            settings.WndTop = rect.top;
            settings.WndRight = rect.right;
            settings.WndBottom = rect.bottom;
            monitor_.ApplySettings(settings);
        }
    }
    if (!result && !pathName_.isEmpty() && !loadFailed_)
        monitor_.SaveToFile(ToNative(pathName_));
    return result;
}

// --- operations ----------------------------------------------------------------------------

bool CQuellarimondDoc::StartMonitoring(bool repaintAtStart)
{
    monitor_.SetStatusText(text::Loading);
    RefreshViews();  // "Loading..." replaces the old diagram until the first sample
    monitor_.ApplyDisplaySettings();
    return monitor_.StartSampling(GetFirstViewWindow(), repaintAtStart);
}

Rect CQuellarimondDoc::GetSavedWindowRect() const
{
    const MonitorSettings settings = monitor_.GetSettings();
    Rect rect;
    rect.left = settings.WndLeft;
    rect.top = settings.WndTop;
    rect.right = settings.WndRight;
    rect.bottom = settings.WndBottom;
    return rect;
}

void CQuellarimondDoc::RunNewProfileWizard()
{
    CNewProfileWizard wizard(*this, app_.MainFrame());
    if (app_.RunDialog(wizard) == CNewProfileWizard::CountersResult)
        OnCounters();
}

RepaintTarget* CQuellarimondDoc::GetFirstViewWindow() const
{
    return views_.empty() ? nullptr : &views_.front()->GetRepaintTarget();
}

void CQuellarimondDoc::RefreshViews()
{
    for (CQuellarimondView* view : views_)
        view->update();
}

void CQuellarimondDoc::AddView(CQuellarimondView& view)
{
    views_.push_back(&view);
}

void CQuellarimondDoc::RemoveView(CQuellarimondView& view)
{
    views_.erase(std::remove(views_.begin(), views_.end(), &view), views_.end());
}

// --- commands ------------------------------------------------------------------------------

void CQuellarimondDoc::OnRestart()
{
    if (StopSamplingForChange())
        monitor_.StartSampling(GetFirstViewWindow(), false);
    else
        Message(QString::fromLatin1(text::CannotStop));
}

void CQuellarimondDoc::OnResetMax()
{
    monitor_.ResetMaxValues();
    RefreshViews();
}

void CQuellarimondDoc::OnViewLog()
{
    if (monitor_.GetSettings().LogMode == 0) {
        if (app_.GetPrompt().Question(QString::fromLatin1(text::LoggingOff), true) == Answer::Yes)
            OnLogSettings();
    }
    if (monitor_.GetSettings().LogMode == 0)
        return;
    const std::string log = monitor_.GetLogPath();
    if (!log.empty())
        OpenPage(app_.GetShell(), app_.GetPrompt(), FromNative(log));
}

void CQuellarimondDoc::OnCleanLog()
{
    monitor_.CleanLog();
}

void CQuellarimondDoc::OnLogSettings()
{
    MonitorSettings settings = monitor_.GetSettings();
    CLogSettingsDlg dialog(app_, app_.MainFrame());
    dialog.SetValues(settings.LogMode, settings.LogFormat, settings.LogFileSize);
    if (app_.RunDialog(dialog) != QDialog::Accepted)
        return;
    settings.LogMode = dialog.LogMode();
    settings.LogFormat = dialog.LogFormat();
    settings.LogFileSize = dialog.FileSize();
    monitor_.ApplySettings(settings);
}

void CQuellarimondDoc::OnCounters()
{
    CCountersDlg dialog(*this, app_.MainFrame());
    if (app_.RunDialog(dialog) == QDialog::Accepted) {
        dialog.ApplyToMonitor();
        RefreshViews();
    }
    if (monitor_.IsModified())
        documentModified_ = true;
}

void CQuellarimondDoc::OnPreferences()
{
    CPreferencesDlg dialog(*this, app_.MainFrame());
    if (app_.RunDialog(dialog) == QDialog::Accepted)
        RefreshViews();
    if (monitor_.IsModified())
        documentModified_ = true;
}

void CQuellarimondDoc::OnConnectTo()
{
    CRemoteHostDlg dialog(app_, app_.MainFrame());
    if (app_.RunDialog(dialog) == QDialog::Accepted)
        RetargetCounters(dialog.ComputerName());
}

bool CQuellarimondDoc::ChooseSettingColor(int target)
{
    std::int32_t MonitorSettings::*field = ColorField(target);
    if (field == nullptr)
        return false;
    MonitorSettings settings = monitor_.GetSettings();
    const std::optional<QColor> chosen =
        app_.GetPrompt().ChooseColor(ToQColor(settings.*field), CustomColorsFor(target));
    if (!chosen)
        return false;
    settings.*field = ToColorRef(*chosen);
    monitor_.ApplySettings(settings);
    monitor_.ApplyDisplaySettings();
    RefreshViews();
    return true;
}

bool CQuellarimondDoc::RetargetCounters(const std::string& computer)
{
    if (!StopSamplingForChange()) {
        Message(QString::fromLatin1(text::CannotStop));
        return false;
    }
    RetargetAxes(monitor_, computer);
    monitor_.StartSampling(GetFirstViewWindow(), false);
    return true;
}

CustomColors CQuellarimondDoc::CustomColorsFor(int target)
{
    CustomColors colors;
    for (int i = 0; i < static_cast<int>(colors.size()); ++i) {
        const int v = 255 - 4 * i;
        QColor& color = colors[static_cast<std::size_t>(i)];
        switch (target) {
        case ColorMax:
            color = QColor(0, v, v);
            break;
        case ColorAverage:
            color = QColor(0, v, 0);
            break;
        case ColorCurrent:
            color = QColor(v, v, 0);
            break;
        case ColorCritical:
            color = QColor(v, 0, 0);
            break;
        default:  // background, text and lines: greys
            color = QColor(v, v, v);
            break;
        }
    }
    return colors;
}

// --- helpers -------------------------------------------------------------------------------

// StopSampling refuses at once while a thread is still taking its first step or ending after
// an earlier stop, and otherwise waits for the thread itself. All of it shares one time limit,
// so the window never waits longer than one stop would.
bool CQuellarimondDoc::StopSamplingForChange()
{
    Clock& clock = monitor_.GetClock();
    const std::uint32_t start = clock.TickCount();
    for (;;) {
        const std::uint32_t spent = clock.TickCount() - start;  // modulo 2^32, like the tick count
        if (spent >= CounterMonitor::StopTimeLimitMilliseconds)
            return false;
        if (monitor_.StopSampling(CounterMonitor::StopTimeLimitMilliseconds - spent))
            return true;
        clock.Sleep(StopRetryPauseMilliseconds);
    }
}

bool CQuellarimondDoc::ReadLastProfilePath(std::string& path) const
{
    std::optional<RegistryKey> key = RegistryKey::Open(RegistryHive::CurrentUser, "Recent File List");
    return key && key->GetString("File1", path);
}

void CQuellarimondDoc::PrepareNewProfile()
{
    const std::string path = MakeNewProfilePath(app_.NewProfileFolder());
    SetPathName(FromNative(path), false);
    monitor_.ResetSettings();
    BuildStandardCounterSet(true, DefaultStandardCounters, monitor_);
    monitor_.SetLogLocation(path, false);
}

bool CQuellarimondDoc::LoadProfile(const std::string& path)
{
    // The gate and the parse of what it read: the file is opened once.
    return monitor_.LoadProfile(path, ProfileFile::Read(path)) != 0;
}

void CQuellarimondDoc::Message(const QString& text)
{
    app_.GetPrompt().Message(text);
}

} // namespace quel::desktop
