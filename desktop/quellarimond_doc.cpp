#include "desktop/quellarimond_doc.h"

#include "desktop/native_path.h"
#include "desktop/new_profile_path.h"
#include "desktop/retarget_counters.h"
#include "desktop/string_table.h"
#include "engine/standard_counter_set.h"
#include "gui/qt_color.h"
#include "platform/registry.h"
#include "profile/profile_file.h"

#include <QFileInfo>

namespace quel::desktop {

namespace {

constexpr std::uint32_t StopRetryPauseMilliseconds = 10;

bool IsPlacement(const Rect& rect)
{
    return rect.bottom > 0 && rect.right > 0 && rect.bottom > rect.top && rect.right > rect.left;
}

} // namespace

CQuellarimondDoc::CQuellarimondDoc(DocumentEnvironment environment)
    : environment_(std::move(environment)), monitor_(environment_.monitor)
{
    monitor_.SetUpDefaultProfile();
}

CQuellarimondDoc::~CQuellarimondDoc()
{
    monitor_.StopSampling();
    if (listener_ != nullptr)
        listener_->DocumentClosing();
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
    if (listener_ == nullptr)
        return;
    if (addToRecentFiles && !path.isEmpty())
        listener_->AddRecentFile(path);
    listener_->TitleChanged();
}

// --- hooks ---------------------------------------------------------------------------------

CQuellarimondDoc::NewResult CQuellarimondDoc::NewProfile()
{
    const bool reopen = reopenLastProfile_;
    const bool changed = ChangeSampling(
        [this, reopen](CounterMonitor& monitor) {
            SetPathName(QString(), false);
            documentModified_ = false;
            loadFailed_ = false;
            monitor.RemoveAllAxes();
            if (reopen)
                ReopenLastProfile();
            else
                PrepareNewProfile();
            return true;
        },
        {.repaintAtStart = !reopen});
    if (!changed)
        return NewResult::Refused;
    return reopen ? NewResult::Reopened : NewResult::Fresh;
}

void CQuellarimondDoc::NewProfileSettled()
{
    if (monitor_.GetAxisCount() == 0)
        monitor_.SetModified(0);  // an empty profile does not ask to be saved
}

bool CQuellarimondDoc::OpenProfile(const QString& path)
{
    std::string reason;
    const bool changed = ChangeSampling([this, &path, &reason](CounterMonitor& monitor) {
        reopenLastProfile_ = false;
        monitor.RemoveAllAxes();
        monitor.ResetSettings();
        documentModified_ = false;
        loadFailed_ = !LoadProfile(ToNative(path), reason);
        if (loadFailed_)
            return false;
        if (listener_ != nullptr)
            listener_->MoveWindowTo(GetSavedWindowRect());
        SetPathName(path, true);
        return true;
    });
    if (!changed)
        return false;
    if (loadFailed_) {
        QString message = QString::fromLatin1(text::CannotRead) + path;
        if (!reason.empty())
            message += QLatin1Char('\n') + QString::fromStdString(reason);
        Message(message);
        ClearAfterFailedOpen();
    }
    return true;
}

// An empty profile under the new name, not sampled. Its log goes nowhere until the profile is
// saved, and it is never saved silently over the file that could not be read.
void CQuellarimondDoc::ClearAfterFailedOpen()
{
    monitor_.RemoveAllAxes();
    monitor_.ResetSettings();
    monitor_.SetModified(0);
    monitor_.SetLogLocation(std::string(), false);
    monitor_.SetStatusText(std::string());
    RefreshViews();
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
    const std::optional<Rect> rect = listener_ != nullptr ? listener_->CurrentWindowRect() : std::nullopt;
    if (rect && IsPlacement(*rect)) {
        MonitorSettings settings = monitor_.GetSettings();
        settings.WndLeft = rect->left;
        settings.WndTop = rect->top;
        settings.WndRight = rect->right;
        settings.WndBottom = rect->bottom;
        monitor_.ApplySettings(settings);
    }
    if (!result && !pathName_.isEmpty() && !loadFailed_)
        monitor_.SaveToFile(ToNative(pathName_));
    return result;
}

// --- sampling ------------------------------------------------------------------------------

bool CQuellarimondDoc::ChangeSampling(const std::function<bool(CounterMonitor&)>& change, ChangeStyle style)
{
    // Axes are only replaced once the sampling thread has ended.
    if (!StopSamplingForChange()) {
        if (!style.quiet)
            Message(QString::fromLatin1(text::CannotStop));
        return false;
    }
    if (change(monitor_))
        StartMonitoring(style.repaintAtStart);
    return true;
}

bool CQuellarimondDoc::StartMonitoring(bool repaintAtStart)
{
    monitor_.SetStatusText(text::Loading);
    RefreshViews();  // "Loading..." replaces the old diagram until the first sample
    monitor_.ApplyDisplaySettings();
    return monitor_.StartSampling(listener_ != nullptr ? listener_->SampleRepaintTarget() : nullptr,
                                  repaintAtStart);
}

Rect CQuellarimondDoc::GetSavedWindowRect() const
{
    const MonitorSettings settings = monitor_.GetSettings();
    return Rect {settings.WndLeft, settings.WndTop, settings.WndRight, settings.WndBottom};
}

void CQuellarimondDoc::RefreshViews()
{
    if (listener_ != nullptr)
        listener_->Repaint();
}

// --- changes the commands make ---------------------------------------------------------------

void CQuellarimondDoc::OnRestart()
{
    ChangeSampling([](CounterMonitor&) { return true; });
}

void CQuellarimondDoc::OnResetMax()
{
    monitor_.ResetMaxValues();
    RefreshViews();
}

void CQuellarimondDoc::OnCleanLog()
{
    monitor_.CleanLog();
}

void CQuellarimondDoc::ApplyLogSettings(int logMode, int logFormat, int fileSize)
{
    MonitorSettings settings = monitor_.GetSettings();
    settings.LogMode = logMode;
    settings.LogFormat = logFormat;
    settings.LogFileSize = fileSize;
    monitor_.ApplySettings(settings);
}

void CQuellarimondDoc::NoteWindRoseChanges()
{
    if (monitor_.IsModified())
        documentModified_ = true;
}

void CQuellarimondDoc::SetSettingColor(std::int32_t MonitorSettings::*field, const QColor& color)
{
    MonitorSettings settings = monitor_.GetSettings();
    settings.*field = ToColorRef(color);
    monitor_.ApplySettings(settings);
    monitor_.ApplyDisplaySettings();
    RefreshViews();
}

bool CQuellarimondDoc::RetargetCounters(const std::string& computer)
{
    return ChangeSampling([&computer](CounterMonitor& monitor) {
        RetargetAxes(monitor, computer);
        return true;
    });
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

void CQuellarimondDoc::ReopenLastProfile()
{
    reopenLastProfile_ = false;
    std::string last;
    wizardAfterStart_ = !ReadLastProfilePath(last);
    std::string reason;
    if (!last.empty() && LoadProfile(last, reason)) {
        SetPathName(FromNative(last), true);
    } else {
        wizardAfterStart_ = true;
        PrepareNewProfile();
    }
}

void CQuellarimondDoc::PrepareNewProfile()
{
    const std::string path = MakeNewProfilePath(environment_.newProfileFolder);
    SetPathName(FromNative(path), false);
    monitor_.ResetSettings();
    BuildStandardCounterSet(true, DefaultStandardCounters, monitor_);
    monitor_.SetLogLocation(path, false);
}

bool CQuellarimondDoc::LoadProfile(const std::string& path, std::string& reason)
{
    // The gate and the parse of what it read: the file is opened once.
    const ProfileFile file = ProfileFile::Read(path);
    reason = file.Reason();
    return monitor_.LoadProfile(path, file) != 0;
}

void CQuellarimondDoc::Message(const QString& text)
{
    GetPrompt().Message(text);
}

} // namespace quel::desktop
