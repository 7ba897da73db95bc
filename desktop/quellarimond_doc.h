#pragma once
// CQuellarimondDoc: the desktop program's one document, a monitoring profile bound to a .qlmd
// file. It owns the CounterMonitor, decides when sampling stops and starts around making,
// opening and saving a profile, names new profiles, reopens the last profile at start-up, keeps
// the window rectangle and the colours in the profile without asking, and carries the changes
// the commands make to the profile. It knows no window: the main frame listens to it
// (DocumentListener) and the dialogs are run by the commands, which hand their results here.
// New and Open reuse the one document.

#include "desktop/document_listener.h"
#include "desktop/prompt.h"
#include "engine/counter_monitor.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>

namespace quel::desktop {

struct DocumentEnvironment {
    MonitorEnvironment monitor;       // the interactive monitor's sources and clock
    Prompt* prompt = nullptr;         // required: the messages of a refused change
    std::string newProfileFolder;     // where new profiles are named
};

class CQuellarimondDoc {
public:
    // Makes the interactive monitor and sets it up with the default profile.
    explicit CQuellarimondDoc(DocumentEnvironment environment);
    // Stops sampling; the monitor then waits for a thread that is still ending.
    ~CQuellarimondDoc();
    CQuellarimondDoc(const CQuellarimondDoc&) = delete;
    CQuellarimondDoc& operator=(const CQuellarimondDoc&) = delete;

    // The windows that show the document; null: none (the document works on alone).
    void SetListener(DocumentListener* listener) { listener_ = listener; }

    // --- the document's path, title and modified flag ---------------------------------------
    const QString& GetPathName() const { return pathName_; }
    // The file name of the path, or "Untitled".
    QString GetTitle() const;
    void SetPathName(const QString& path, bool addToRecentFiles);
    // Stores the document's own modified flag only.
    void SetModifiedFlag(bool modified) { documentModified_ = modified; }
    bool GetDocumentModified() const { return documentModified_; }
    // The last open could not read its file: the document holds its path but no profile from it.
    bool LastLoadFailed() const { return loadFailed_; }
    // Start-up state: the first New reopens the last profile instead; when there was none (or it
    // could not be read) the new-profile wizard follows the window's first show.
    bool ReopensLastProfile() const { return reopenLastProfile_; }
    bool WizardAfterStart() const { return wizardAfterStart_; }

    // --- hooks of the document framework ----------------------------------------------------
    enum class NewResult { Refused, Reopened, Fresh };
    // A fresh profile (Fresh: the caller runs the new-profile wizard, then NewProfileSettled),
    // or at start-up the last one reopened.
    NewResult NewProfile();
    // After the wizard of a fresh profile: an empty profile does not ask to be saved.
    void NewProfileSettled();
    bool OpenProfile(const QString& path);
    bool SaveProfile(const QString& path);
    // The modified query asked before New, Open and exit. Stores the window rectangle in the
    // settings and, when nothing else changed, saves the profile silently.
    bool NeedsSaving();

    // --- sampling -----------------------------------------------------------------------------
    struct ChangeStyle {
        bool repaintAtStart = false;  // repaint as soon as sampling starts
        bool quiet = false;           // no message when sampling cannot be stopped
    };
    // The one way to change what is sampled: stop sampling (within the 5 s limit; on failure the
    // message "cannot stop" and false, nothing changed), change the monitor, start sampling again
    // with "Loading..." until the first sample. change returns false to stay stopped.
    bool ChangeSampling(const std::function<bool(CounterMonitor&)>& change, ChangeStyle style);
    bool ChangeSampling(const std::function<bool(CounterMonitor&)>& change) { return ChangeSampling(change, {}); }
    bool StartMonitoring(bool repaintAtStart);
    Rect GetSavedWindowRect() const;
    void RefreshViews();
    CounterMonitor& GetMonitor() { return monitor_; }
    const CounterMonitor& GetMonitor() const { return monitor_; }
    Prompt& GetPrompt() const { return *environment_.prompt; }
    const DocumentEnvironment& Environment() const { return environment_; }

    // --- changes the commands make --------------------------------------------------------------
    void OnRestart();
    void OnResetMax();
    void OnCleanLog();
    void ApplyLogSettings(int logMode, int logFormat, int fileSize);
    // After a dialog that may have changed the wind rose: a modified one marks the document.
    void NoteWindRoseChanges();
    // A colour of the settings, shown at once.
    void SetSettingColor(std::int32_t MonitorSettings::*field, const QColor& color);
    // Points every counter at computer ("" = this computer) and samples again; false (after
    // message) when sampling cannot be stopped.
    bool RetargetCounters(const std::string& computer);

    // StopSampling, retried while a thread is still starting or ending, for up to 5 s; false
    // when sampling has not stopped by then.
    bool StopSamplingForChange();

private:
    bool ReadLastProfilePath(std::string& path) const;
    void ReopenLastProfile();
    void PrepareNewProfile();
    bool LoadProfile(const std::string& path, std::string& reason);
    void ClearAfterFailedOpen();
    void Message(const QString& text);

    DocumentEnvironment environment_;
    CounterMonitor monitor_;
    DocumentListener* listener_ = nullptr;
    bool documentModified_ = false;
    bool loadFailed_ = false;
    bool reopenLastProfile_ = true;
    bool wizardAfterStart_ = false;
    QString pathName_;
};

} // namespace quel::desktop
