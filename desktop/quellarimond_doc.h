#pragma once
// CQuellarimondDoc: the desktop program's one document, a monitoring profile bound to a .qlmd
// file. It owns the CounterMonitor, decides when sampling stops and starts around making,
// opening and saving a profile, names new profiles, reopens the last profile at start-up, keeps
// the window rectangle and the colours in the profile without asking, and carries the
// profile-level commands. New and Open reuse the one document.

#include "desktop/prompt.h"
#include "engine/counter_monitor.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace quel::desktop {

class CQuellarimondApp;
class CQuellarimondView;

// The colour a colour command changes.
enum ColorTarget : int {
    ColorMax = 0,
    ColorAverage = 1,
    ColorCurrent = 2,
    ColorBack = -1,
    ColorText = -2,
    ColorLines = -3,
    ColorCritical = -4,
};

class CQuellarimondDoc {
public:
    // Makes the interactive monitor, sets it up with the default profile and becomes the
    // application's active document.
    explicit CQuellarimondDoc(CQuellarimondApp& app);
    // Stops sampling; the monitor then waits for a thread that is still ending.
    ~CQuellarimondDoc();
    CQuellarimondDoc(const CQuellarimondDoc&) = delete;
    CQuellarimondDoc& operator=(const CQuellarimondDoc&) = delete;

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

    // --- hooks of the document framework ----------------------------------------------------
    bool NewProfile();
    bool OpenProfile(const QString& path);
    bool SaveProfile(const QString& path);
    // The modified query asked before New, Open and exit. Stores the window rectangle in the
    // settings and, when nothing else changed, saves the profile silently.
    bool NeedsSaving();

    // --- operations -------------------------------------------------------------------------
    bool StartMonitoring(bool repaintAtStart);
    Rect GetSavedWindowRect() const;
    // The new-profile wizard; when it ends with "Counters...", the counters dialog follows.
    void RunNewProfileWizard();
    RepaintTarget* GetFirstViewWindow() const;
    void RefreshViews();
    void AddView(CQuellarimondView& view);
    void RemoveView(CQuellarimondView& view);
    CQuellarimondApp& GetApp() const { return app_; }
    CounterMonitor& GetMonitor() { return monitor_; }
    const CounterMonitor& GetMonitor() const { return monitor_; }

    // --- commands ---------------------------------------------------------------------------
    void OnRestart();
    void OnResetMax();
    void OnViewLog();
    void OnCleanLog();
    // The log settings dialog; on OK its values go into the settings.
    void OnLogSettings();
    // The counters dialog; on OK its list is carried into the monitor. Either way a modified
    // wind rose marks the document modified.
    void OnCounters();
    // The preferences dialog, with the same modified rule.
    void OnPreferences();
    // The remote host dialog, then every counter is pointed at the computer entered.
    void OnConnectTo();
    // The colour chooser for one colour of the settings; true when a colour was taken.
    bool ChooseSettingColor(int target);
    // Points every counter at computer ("" = this computer) and samples again; false (after
    // message) when sampling cannot be stopped.
    bool RetargetCounters(const std::string& computer);

    // The chooser's 16 custom colours for a target: gradients for the three lines.
    static CustomColors CustomColorsFor(int target);

    // StopSampling, retried while a thread is still starting or ending, for up to 5 s; false
    // when sampling has not stopped by then.
    bool StopSamplingForChange();

private:
    bool ReadLastProfilePath(std::string& path) const;
    void PrepareNewProfile();
    bool LoadProfile(const std::string& path);
    void Message(const QString& text);

    CQuellarimondApp& app_;
    CounterMonitor monitor_;
    bool documentModified_ = false;
    bool loadFailed_ = false;
    QString pathName_;
    std::vector<CQuellarimondView*> views_;
};

// The settings field of a colour target; null for an unknown target.
std::int32_t MonitorSettings::*ColorField(int target);

} // namespace quel::desktop
