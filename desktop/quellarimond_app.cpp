#include "desktop/quellarimond_app.h"

#include "desktop/about_dialog.h"
#include "desktop/command_ids.h"
#include "desktop/command_line.h"
#include "desktop/document_dialogs.h"
#include "desktop/help_pages.h"
#include "desktop/history_controller.h"
#include "desktop/main_frame.h"
#include "desktop/page_opener.h"
#include "desktop/program_folder.h"
#include "desktop/quellarimond_doc.h"
#include "desktop/string_table.h"
#include "platform/registry.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>

namespace quel::desktop {

namespace {

ScreenSize DesktopSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return ScreenSize {};
    const QSize size = screen->virtualSize();
    return ScreenSize {size.width(), size.height()};
}

AppEnvironment Completed(AppEnvironment environment)
{
    if (environment.programFolder.empty())
        environment.programFolder = GetProgramFolder();
    if (environment.newProfileFolder.empty())
        environment.newProfileFolder = NewProfileFolder(environment.programFolder);
    if (environment.helpFolder.empty())
        environment.helpFolder = FindHelpFolder(environment.programFolder);
    if (!environment.screen)
        environment.screen = DesktopSize();
    if (!environment.trayAvailable)
        environment.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    return environment;
}

// The framework's two keys exist from the first start on, whether or not anything is kept in
// them yet, so other programs and the user find them where they expect.
void CreateRegistryKeys()
{
    for (const char* key : {"Settings", "Recent File List"})
        RegistryKey::Create(RegistryHive::CurrentUser, key);
}

DocumentEnvironment MakeDocumentEnvironment(const AppEnvironment& app)
{
    DocumentEnvironment environment;
    environment.monitor.source = app.source;
    environment.monitor.interactive = true;
    environment.monitor.messages = app.messages;
    environment.monitor.screen = app.screen.value_or(ScreenSize {});
    environment.monitor.clock = app.clock;
    environment.prompt = app.prompt;
    environment.newProfileFolder = app.newProfileFolder;
    return environment;
}

QString AbsolutePath(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

CQuellarimondApp::CQuellarimondApp(AppEnvironment environment)
    : environment_(Completed(std::move(environment))), recentFiles_(RecentFileCount), lister_(*environment_.source)
{
}

CQuellarimondApp::~CQuellarimondApp()
{
    document_.reset();
    frame_.reset();
}

bool CQuellarimondApp::InitInstance(const QStringList& arguments)
{
    CreateRegistryKeys();
    recentFiles_.Load();
    document_ = std::make_unique<CQuellarimondDoc>(MakeDocumentEnvironment(environment_));
    frame_ = std::make_unique<CMainFrame>(*this, *document_, environment_.trayAvailable, *environment_.screen);

    const QString profile = ProfileArgument(arguments);
    const bool processed = profile.isEmpty() ? OnFileNew() : OpenDocumentFile(profile);
    if (!processed || !frame_)
        return false;

    frame_->MoveWindowTo(document_->GetSavedWindowRect());
    frame_->show();
    frame_->update();
    frame_->setAcceptDrops(true);

    if (document_->WizardAfterStart())
        RunNewProfileWizard(*this, *document_, frame_.get());
    return true;
}

// --- document framework commands -----------------------------------------------------------

bool CQuellarimondApp::OnFileNew()
{
    if (!SaveModified())
        return false;
    if (frame_)
        frame_->History().Leave();
    const CQuellarimondDoc::NewResult result = document_->NewProfile();
    if (result == CQuellarimondDoc::NewResult::Refused)
        return false;
    if (result == CQuellarimondDoc::NewResult::Fresh) {
        RunNewProfileWizard(*this, *document_, frame_.get());
        document_->NewProfileSettled();
    }
    ActivateFrame();
    return true;
}

void CQuellarimondApp::OnFileOpen()
{
    const QString path = GetPrompt().OpenProfileName();
    if (!path.isEmpty())
        OpenDocumentFile(path);
}

bool CQuellarimondApp::OpenDocumentFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QString absolute = AbsolutePath(path);
    if (absolute == document_->GetPathName() && !document_->LastLoadFailed()) {
        ActivateFrame();  // already open
        return true;
    }
    if (!SaveModified())
        return false;
    if (frame_)
        frame_->History().Leave();
    if (!document_->OpenProfile(absolute))
        return false;
    // A file that could not be read keeps the document's name but stays out of the recent files.
    document_->SetPathName(absolute, !document_->LastLoadFailed());
    ActivateFrame();
    return true;
}

void CQuellarimondApp::OnOpenRecentFile(int index)
{
    const QStringList& entries = recentFiles_.Entries();
    if (index >= 0 && index < entries.size())
        OpenDocumentFile(entries[index]);
}

void CQuellarimondApp::OpenDroppedFiles(const QStringList& paths)
{
    for (const QString& path : paths)
        OpenDocumentFile(path);
}

void CQuellarimondApp::OpenHandedOverFile(const QString& path)
{
    if (frame_ && (!frame_->isVisible() || frame_->isMinimized()))
        frame_->RestoreFromTray();
    if (!path.isEmpty())
        OpenDocumentFile(path);
    if (frame_) {
        frame_->raise();
        frame_->activateWindow();
    }
}

bool CQuellarimondApp::OnFileSave()
{
    const QString path = document_->GetPathName();
    if (path.isEmpty())
        return OnFileSaveAs();
    return DoSave(path);
}

bool CQuellarimondApp::OnFileSaveAs()
{
    QString suggestion = document_->GetPathName();
    if (suggestion.isEmpty())
        suggestion = QString::fromStdString(environment_.newProfileFolder) + document_->GetTitle();
    const QString path = GetPrompt().SaveProfileName(suggestion);
    if (path.isEmpty())
        return false;
    return DoSave(AbsolutePath(path));
}

bool CQuellarimondApp::DoSave(const QString& path)
{
    if (!document_->SaveProfile(path))
        return false;
    document_->SetPathName(path, true);
    return true;
}

bool CQuellarimondApp::SaveModified()
{
    if (!document_ || !document_->NeedsSaving())
        return true;
    QString name = document_->GetPathName();
    if (name.isEmpty())
        name = document_->GetTitle();
    switch (GetPrompt().Question(QString::fromLatin1(text::SaveChanges).arg(name))) {
    case Answer::Yes:
        return OnFileSave();
    case Answer::No:
        return true;
    default:
        return false;
    }
}

void CQuellarimondApp::OnAppExit()
{
    if (frame_)
        frame_->close();
}

void CQuellarimondApp::ActivateFrame()
{
    if (frame_)
        frame_->ActivateFrame();
}

// --- help ----------------------------------------------------------------------------------

void CQuellarimondApp::ShowHelp(unsigned helpContext)
{
    const HelpTopic topic = HelpTopicFor(helpContext);
    const QString page = QString::fromStdString(environment_.helpFolder) + QString::fromLatin1(topic.page);
    const QString redirects =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Quellarimond");
    // Without its forwarding page the page still opens, at its top.
    const QUrl address =
        QFileInfo(page).isReadable() ? HelpAddress(page, QString::fromLatin1(topic.anchor), redirects) : QUrl();
    OpenPage(GetShell(), GetPrompt(), page, address);
}

int CQuellarimondApp::RunDialog(QDialog& dialog) const
{
    if (environment_.dialogs != nullptr)
        return environment_.dialogs->Run(dialog);
    return dialog.exec();
}

void CQuellarimondApp::OnHelpContents()
{
    ShowHelp(0);
}

void CQuellarimondApp::OnAppAbout()
{
    const QString contents =
        QUrl::fromLocalFile(QString::fromStdString(environment_.helpFolder) + QStringLiteral("help.html")).toString();
    CAboutDlg dialog(frame_.get(), GetShell(), GetPrompt(), contents, [this] {
        if (frame_)
            frame_->SetTopmost(false);
    });
    dialog.exec();
}

} // namespace quel::desktop
