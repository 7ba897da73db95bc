#pragma once
// CQuellarimondApp: the desktop program's application object. It starts the program (settings,
// recent files, the document, the main frame with its view, the command line, the window's
// place, dropped files), owns the application-level commands (New, Open, Save, Save As, the
// recent files, Exit, Help Contents, About) with the document framework's modified query, and
// turns help requests into help pages opened in the default browser.

#include "desktop/dialog_host.h"
#include "desktop/dialog_runner.h"
#include "desktop/object_lister.h"
#include "desktop/prompt.h"
#include "desktop/recent_file_list.h"
#include "platform/clock.h"
#include "platform/perf_data_source.h"
#include "platform/user_interface.h"
#include "profile/monitor_settings.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QDialog;

namespace quel::desktop {

class CMainFrame;
class CQuellarimondDoc;

// What the program runs with; tests substitute every part.
struct AppEnvironment {
    PerfDataSource* source = nullptr;   // required
    Prompt* prompt = nullptr;           // required
    Shell* shell = nullptr;             // required
    MessageSink* messages = nullptr;    // the monitor's messages from its sampling thread
    DialogRunner* dialogs = nullptr;    // null: each dialog runs its own modal loop
    std::string programFolder;          // with a trailing "/"; empty: GetProgramFolder()
    std::string newProfileFolder;       // empty: NewProfileFolder(programFolder)
    std::string helpFolder;             // empty: FindHelpFolder(programFolder)
    // Whether the desktop has a notification area now; asked again every few seconds, as a
    // panel may come and go. Empty: QSystemTrayIcon's answer.
    std::function<bool()> trayAvailable;
    std::optional<ScreenSize> screen;   // none: the size of the virtual desktop
    Clock* clock = nullptr;             // the monitor's time; null: the system clock
};

class CQuellarimondApp final : public DialogHost {
public:
    explicit CQuellarimondApp(AppEnvironment environment);
    // The document goes first, so sampling has ended before the view it repaints goes.
    ~CQuellarimondApp();
    CQuellarimondApp(const CQuellarimondApp&) = delete;
    CQuellarimondApp& operator=(const CQuellarimondApp&) = delete;

    // Start-up with the arguments after the program name; false ends the program.
    bool InitInstance(const QStringList& arguments);

    // --- commands ---------------------------------------------------------------------------
    bool OnFileNew();
    void OnFileOpen();
    bool OnFileSave();
    bool OnFileSaveAs();
    void OnOpenRecentFile(int index);
    void OnAppExit();
    void OnHelpContents();
    void OnAppAbout();
    // Opens a profile as File > Open does: the modified query, the document's open, the
    // frame's activation. Opening the profile that is open only activates the frame.
    bool OpenDocumentFile(const QString& path);
    // Files dropped on the main window, opened one after the other.
    void OpenDroppedFiles(const QStringList& paths);
    // What a second launch of the program hands over: a profile to open, or (empty path) a
    // request to show the window. Either way the window comes to the front.
    void OpenHandedOverFile(const QString& path);
    // The modified query: false when the user cancels (or a requested save fails).
    bool SaveModified();

    // Runs a modal dialog through the environment's runner; returns the dialog's result.
    int RunDialog(QDialog& dialog) const override;
    // Help context: 0 contents, 0x20000 + dialog template id, 0x30000 + prompt id.
    void ShowHelp(unsigned helpContext) override;
    // The program's folder with a trailing "/".
    std::string GetProgramFolder() const { return environment_.programFolder; }
    const std::string& NewProfileFolder() const { return environment_.newProfileFolder; }

    CMainFrame* MainFrame() const { return frame_.get(); }
    CQuellarimondDoc* Document() const { return document_.get(); }
    RecentFileList& RecentFiles() { return recentFiles_; }
    const AppEnvironment& Environment() const { return environment_; }
    Prompt& GetPrompt() const override { return *environment_.prompt; }
    Shell& GetShell() const override { return *environment_.shell; }
    // Lists other computers for the counter browser; it outlives every browser, so closing one
    // never waits for a computer that is slow to answer.
    ObjectLister& Lister() override { return lister_; }

private:
    bool DoSave(const QString& path);
    void ActivateFrame();

    AppEnvironment environment_;
    RecentFileList recentFiles_;
    std::unique_ptr<CQuellarimondDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
    ObjectLister lister_;
};

} // namespace quel::desktop
