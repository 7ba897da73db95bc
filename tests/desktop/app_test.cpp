// The application: command line, program folder, help pages, the recent-file list, the About
// box's link, the hand-over of a profile from a second launch and the folder of its socket.

#include "tests/desktop/desktop_test_support.h"

#include "desktop/command_table.h"
#include "desktop/document_dialogs.h"
#include "desktop/command_ids.h"
#include "desktop/command_line.h"
#include "desktop/help_pages.h"
#include "desktop/instance_channel.h"
#include "desktop/main_frame.h"
#include "desktop/menus.h"
#include "desktop/page_opener.h"
#include "desktop/program_folder.h"
#include "desktop/qt_shell.h"
#include "desktop/quellarimond_doc.h"
#include "desktop/static_link.h"
#include "engine/counter_monitor.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>

#include <filesystem>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace quel::desktop::test {
namespace {

using AppTest = DesktopTest;

TEST(CommandLine, TheFirstParameterIsTheProfile)
{
    const QString cwd = QDir::currentPath();
    EXPECT_EQ(ProfileArgument({}), QString());
    EXPECT_EQ(ProfileArgument({"-x", "/dde", "/Embedding", "a.qlmd", "b.qlmd"}), cwd + "/a.qlmd");
    EXPECT_EQ(ProfileArgument({"/home/me/Mine.qlmd"}), QStringLiteral("/home/me/Mine.qlmd"));
    EXPECT_EQ(ProfileArgument({"/P"}), QString()) << "a flag name in any case";
    EXPECT_EQ(ProfileArgument({"--", "-odd.qlmd"}), cwd + "/-odd.qlmd");
    EXPECT_EQ(ProfileArgument({"file:///tmp/My%20Profile.qlmd"}), QStringLiteral("/tmp/My Profile.qlmd"));
    EXPECT_EQ(ProfileArgument({"", "-platform"}), QString());
}

// Qt's own options (with their values) pass; help and version win; anything else is unknown.
TEST(CommandLine, QtsOptionsPassAndOthersAreUnknown)
{
    const auto request = [](const QStringList& arguments) { return ReadDesktopCommand(arguments).request; };
    EXPECT_EQ(request({"-platform", "offscreen", "--style=fusion", "-reverse", "-qwindowtitle", "-x", "a.qlmd"}),
              DesktopRequest::Run);
    EXPECT_EQ(request({"/dde", "--", "-odd.qlmd"}), DesktopRequest::Run);
    EXPECT_EQ(request({"-platform", "offscreen", "--help"}), DesktopRequest::Help);
    EXPECT_EQ(request({"-bogus", "--version"}), DesktopRequest::Version);
    const DesktopCommand unknown = ReadDesktopCommand({"a.qlmd", "--platforms", "xcb", "-bogus"});
    EXPECT_EQ(unknown.request, DesktopRequest::Unknown);
    EXPECT_EQ(unknown.unknownOption, QStringLiteral("--platforms"));
}

TEST(ProgramFolder, IsTheFolderOfTheRunningProgram)
{
    const std::string folder = GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::equivalent(folder, QCoreApplication::applicationDirPath().toStdString()));
}

TEST(HelpTopics, PagesAndAnchorsByHelpContext)
{
    const auto page = [](unsigned context) {
        const HelpTopic topic = HelpTopicFor(context);
        return std::string(topic.page) + topic.anchor;
    };
    EXPECT_EQ(page(0), "help.html");
    EXPECT_EQ(page(0x20000 + 106), "useit.html#new");
    EXPECT_EQ(page(0x20000 + 130), "useit.html#modify");
    EXPECT_EQ(page(0x20000 + 132), "useit.html#remote");
    EXPECT_EQ(page(0x20000 + 133), "useit.html#options");
    EXPECT_EQ(page(0x20000 + 146), "log.html#config");
    EXPECT_EQ(page(0x30000 + 200), "troubles.html#confail");
    EXPECT_EQ(page(0x20000 + 200), "troubles.html#confail");
    EXPECT_EQ(page(0x20000 + 999), "help.html");
}

TEST_F(AppTest, HelpOpensThePageAndKeepsTheAnchorThroughAForwardingPage)
{
    Start();
    app->ShowHelp(0);
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], QUrl::fromLocalFile(QString::fromStdString(helpFolder + "help.html")));

    app->ShowHelp(0x20000 + 146);
    ASSERT_EQ(shell.opened.size(), 2u);
    const QString forward = shell.opened[1].toLocalFile();
    EXPECT_TRUE(forward.startsWith(QString::fromStdString(cacheFolder))) << forward.toStdString();
    const std::string html = ReadFile(forward.toStdString());
    QUrl target = QUrl::fromLocalFile(QString::fromStdString(helpFolder + "log.html"));
    target.setFragment(QStringLiteral("config"));
    EXPECT_NE(html.find("url=" + target.toString(QUrl::FullyEncoded).toStdString()), std::string::npos) << html;
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(AppTest, HelpThatCannotBeOpenedSaysWhichFile)
{
    Start();
    std::filesystem::remove(helpFolder + "useit.html");
    app->ShowHelp(0x20000 + 106);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0], QString::fromStdString("Cannot read file: " + helpFolder + "useit.html"));

    shell.succeed = false;
    app->ShowHelp(0x20000 + 146);
    ASSERT_EQ(prompt.messages.size(), 2u);
    EXPECT_EQ(prompt.messages[1], QString::fromStdString("No program is set up to open " + helpFolder + "log.html"))
        << "the page is there, only nothing opens it";
}

TEST_F(AppTest, ViewLogAndTheAboutLinkSayWhatCannotBeOpenedAsHelpDoes)
{
    const std::string path = MakeProfile(root + "Logged.qlmd", [](MonitorSettings& s) { s.LogMode = 1; });
    Start({QString::fromStdString(path)});
    const std::string log = Monitor().GetLogPath();
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(log); }));
    shell.succeed = false;
    ViewLog(*app, Doc(), &Frame());
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0], QString::fromStdString("No program is set up to open " + log));

    const QString contents = QString::fromStdString(helpFolder + "help.html");
    CStaticLink local(QStringLiteral("help"), QUrl::fromLocalFile(contents).toString(), shell, prompt, nullptr);
    local.Open();
    ASSERT_EQ(prompt.messages.size(), 2u);
    EXPECT_EQ(prompt.messages[1], QStringLiteral("No program is set up to open ") + contents);
    CStaticLink web(QStringLiteral("help"), QStringLiteral("https://example.org/"), shell, prompt, nullptr);
    web.Open();
    ASSERT_EQ(prompt.messages.size(), 3u);
    EXPECT_EQ(prompt.messages[2], QStringLiteral("No program is set up to open https://example.org/"));

    std::filesystem::remove(helpFolder + "help.html");
    local.Open();
    ASSERT_EQ(prompt.messages.size(), 4u);
    EXPECT_EQ(prompt.messages[3], QStringLiteral("Cannot read file: ") + contents);
    EXPECT_EQ(shell.opened.size(), 3u) << "a missing page is not handed on";
}

// Writes an executable opener that ends with status and returns its path.
QString WriteOpener(const std::string& folder, int status)
{
    const std::string path = folder + "opener-" + std::to_string(status);
    WriteFile(path, "#!/bin/sh\necho \"$1\" > \"$0.called\"\nexit " + std::to_string(status) + "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return QString::fromStdString(path);
}

TEST_F(AppTest, TheDesktopOpenerIsWatchedAndItsFailureReported)
{
    std::vector<QUrl> failures;
    const auto record = [&failures](const QUrl& url) { failures.push_back(url); };
    const QUrl page = QUrl::fromLocalFile(QString::fromStdString(helpFolder + "help.html"));

    QtShell missing(record, QString::fromStdString(root + "no-such-opener"));
    EXPECT_FALSE(missing.OpenUrl(page)) << "no opener at all";

    QtShell working(record, WriteOpener(root, 0));
    ASSERT_TRUE(working.OpenUrl(page));
    ASSERT_TRUE(WaitUntil([&] { return working.Running() == 0; }));
    EXPECT_EQ(ReadFile(root + "opener-0.called"), helpFolder + "help.html\n");
    EXPECT_TRUE(failures.empty());

    QtShell failing(record, WriteOpener(root, 3));  // xdg-open: no program for this file
    ASSERT_TRUE(failing.OpenUrl(page));
    ASSERT_TRUE(WaitUntil([&] { return !failures.empty(); }));
    EXPECT_EQ(failures, std::vector<QUrl> {page});
    EXPECT_EQ(failing.Running(), 0);

    ReportNoProgram(prompt, failures[0]);
    EXPECT_EQ(prompt.messages.back(), QString::fromStdString("No program is set up to open " + helpFolder + "help.html"));
}

TEST(HelpFolder, BesideTheProgramFirst)
{
    QTemporaryDir dir;
    const std::string program = dir.path().toStdString() + "/bin/";
    const std::string shared = dir.path().toStdString() + "/share/quellarimond/Help/";
    std::filesystem::create_directories(program);
    std::filesystem::create_directories(shared);
    WriteFile(shared + "help.html", "contents");
    EXPECT_EQ(FindHelpFolder(program), shared);
    std::filesystem::create_directories(program + "Help");
    WriteFile(program + "Help/help.html", "contents");
    EXPECT_EQ(FindHelpFolder(program), program + "Help/");
}

TEST_F(AppTest, RecentFilesKeepTheNewestFourFirst)
{
    std::vector<QString> paths;
    for (const char* name : {"A", "B", "C", "D", "E"})
        paths.push_back(QString::fromStdString(MakeProfile(root + name + ".qlmd")));
    Start();
    for (const QString& path : paths)
        ASSERT_TRUE(app->OpenDocumentFile(path));
    EXPECT_EQ(app->RecentFiles().Entries(), (QStringList {paths[4], paths[3], paths[2], paths[1]}));
    EXPECT_EQ(GetRegistry("Recent File List", "File1"), paths[4].toStdString());
    EXPECT_EQ(GetRegistry("Recent File List", "File4"), paths[1].toStdString());

    app->OnOpenRecentFile(2);  // C
    EXPECT_EQ(Doc().GetPathName(), paths[2]);
    EXPECT_EQ(app->RecentFiles().Entries(), (QStringList {paths[2], paths[4], paths[3], paths[1]}));

    Frame().UpdateRecentFileMenu();
    const QAction* first = FindCommandAction(*Frame().menuBar(), CmdRecentFile);
    const QAction* last = FindCommandAction(*Frame().menuBar(), CmdRecentFile + 3);
    ASSERT_TRUE(first && last);
    EXPECT_EQ(first->text(), QStringLiteral("&1 C.qlmd"));
    EXPECT_EQ(first->statusTip(), paths[2]);
    EXPECT_EQ(last->text(), QStringLiteral("&4 B.qlmd"));
    EXPECT_EQ(last->statusTip(), paths[1]);

    // The next start reopens the newest one.
    app.reset();
    Start();
    EXPECT_EQ(Doc().GetPathName(), paths[2]);
}

TEST_F(AppTest, OpeningTheOpenProfileAgainOnlyActivatesTheFrame)
{
    const QString path = QString::fromStdString(MakeProfile(root + "Once.qlmd"));
    Start({path});
    Monitor().SetModified(1);
    ASSERT_TRUE(app->OpenDocumentFile(path));
    EXPECT_TRUE(prompt.questions.empty());
    EXPECT_TRUE(Monitor().IsModified());
}

TEST_F(AppTest, TheAboutLinkDropsAlwaysOnTopBeforeItOpens)
{
    Start();
    Frame().SetTopmost(true);
    CStaticLink link(QStringLiteral("Quellarimond help"), QString(), shell, prompt, nullptr);
    link.SetBeforeOpen([this] { Frame().SetTopmost(false); });
    EXPECT_EQ(link.Target(), QStringLiteral("Quellarimond help"));
    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);

    CStaticLink web(QStringLiteral("help"), QStringLiteral("https://example.org/"), shell, prompt, nullptr);
    web.SetBeforeOpen([this] { Frame().SetTopmost(false); });
    web.Open();
    EXPECT_FALSE(Frame().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], QUrl(QStringLiteral("https://example.org/")));
}

// Runs the program as a second launch would and lets this process answer meanwhile.
int RunSecondLaunch(const QString& runtimeFolder, const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUEL_PROGRAM), arguments);
    if (!process.waitForStarted())
        return -1;
    if (!WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 60000)) {
        process.kill();
        process.waitForFinished();
        return -2;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -3;
}

TEST_F(AppTest, ASecondLaunchHandsItsProfileToTheRunningProgram)
{
    const QString path = QString::fromStdString(MakeProfile(root + "Handed.qlmd"));
    Start();
    InstanceServer server([this](const QString& file) { app->OpenHandedOverFile(file); });
    const QString socket = InstanceSocketPath();
    EXPECT_EQ(socket, runtimeFolder + QStringLiteral("/Quellarimond.socket"));
    ASSERT_TRUE(server.Listen(socket));

    EXPECT_EQ(RunSecondLaunch(runtimeFolder, {path}), 0);
    EXPECT_TRUE(WaitUntil([&] { return Doc().GetPathName() == path; }));
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_EQ(app->RecentFiles().Entries().value(0), path);
}

TEST_F(AppTest, TheServerRefusesWhatIsNoPathAndReplacesAStaleSocket)
{
    const QString socket = runtimeFolder + QStringLiteral("/stale.socket");
    WriteFile(socket.toStdString(), "");  // left behind by a program that crashed
    QStringList opened;
    InstanceServer server([&opened](const QString& file) { opened << file; });
    ASSERT_TRUE(server.Listen(socket));
    InstanceServer second([](const QString&) {});
    EXPECT_FALSE(second.Listen(socket)) << "one listener per socket";

    bool relative = true;
    bool absolute = false;
    std::jthread client([&] {
        relative = HandOverToRunningInstance(socket, QStringLiteral("relative.qlmd"), 10000);
        absolute = HandOverToRunningInstance(socket, QStringLiteral("/tmp/x.qlmd"), 10000);
    });
    ASSERT_TRUE(WaitUntil([&] { return !opened.isEmpty(); }));
    client.join();
    EXPECT_FALSE(relative);
    EXPECT_TRUE(absolute);
    EXPECT_EQ(opened, QStringList {QStringLiteral("/tmp/x.qlmd")});
    EXPECT_FALSE(HandOverToRunningInstance(runtimeFolder + QStringLiteral("/none.socket"), "/tmp/x.qlmd", 1000));
}

TEST_F(AppTest, ASecondLaunchWithoutProfileShowsTheRunningWindowInsteadOfStartingAgain)
{
    const QString path = QString::fromStdString(MakeProfile(root + "Running.qlmd"));
    Start({path});
    InstanceServer server([this](const QString& file) { app->OpenHandedOverFile(file); });
    ASSERT_TRUE(server.Listen(InstanceSocketPath()));
    Frame().HideToTray();

    EXPECT_EQ(RunSecondLaunch(runtimeFolder, {}), 0) << "the second launch ends at once";
    EXPECT_TRUE(WaitUntil([&] { return Frame().isVisible(); }));
    EXPECT_EQ(Doc().GetPathName(), path) << "the running profile stays open";
}

mode_t ModeOf(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
}

// The runtime folder of each case, and a temporary folder of its own for the fallback.
class SocketFolderTest : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        savedTemp_ = qgetenv("TMPDIR");
        temp = QString::fromStdString(root) + QStringLiteral("tmp");
        QDir().mkpath(temp);
        qputenv("TMPDIR", temp.toUtf8());
        fallback = temp + QStringLiteral("/quellarimond-%1").arg(::geteuid());
    }
    void TearDown() override
    {
        if (savedTemp_.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", savedTemp_);
        DesktopTest::TearDown();
    }
    void UseRuntimeFolder(const QString& folder) { qputenv("XDG_RUNTIME_DIR", folder.toUtf8()); }

    QString temp;
    QString fallback;

private:
    QByteArray savedTemp_;
};

TEST_F(SocketFolderTest, TheRuntimeFolderOnlyWhenItIsTheUsersAndClosedToOthers)
{
    EXPECT_EQ(PrivateRuntimeFolder(), runtimeFolder) << "mode 0700, the user's";
    ::chmod(QFile::encodeName(runtimeFolder).constData(), 0755);
    EXPECT_EQ(PrivateRuntimeFolder(), runtimeFolder) << "others may read, not write";

    const QString open = QString::fromStdString(root) + QStringLiteral("open");
    QDir().mkpath(open);
    ::chmod(QFile::encodeName(open).constData(), 0777);
    UseRuntimeFolder(open);
    EXPECT_EQ(PrivateRuntimeFolder(), fallback) << "writable by others";
    EXPECT_EQ(ModeOf(fallback) & 07777, mode_t(0700));

    const QString foreign = QString::fromStdString(root) + QStringLiteral("foreign");
    QDir().mkpath(foreign);
    ::chmod(QFile::encodeName(foreign).constData(), 0700);
    if (::geteuid() == 0 && ::chown(QFile::encodeName(foreign).constData(), 65534, 65534) == 0) {
        UseRuntimeFolder(foreign);
        EXPECT_EQ(PrivateRuntimeFolder(), fallback) << "another user's folder";
    }

    const QString link = QString::fromStdString(root) + QStringLiteral("link");
    ASSERT_TRUE(QFile::link(runtimeFolder, link));
    UseRuntimeFolder(link);
    EXPECT_EQ(PrivateRuntimeFolder(), fallback) << "a symbolic link";

    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(PrivateRuntimeFolder(), fallback) << "unset";
    EXPECT_EQ(InstanceSocketPath(), fallback + QStringLiteral("/Quellarimond.socket"));
}

TEST_F(SocketFolderTest, AFallbackFolderThatIsNotPrivateIsNeverUsed)
{
    qunsetenv("XDG_RUNTIME_DIR");
    QDir().mkpath(fallback);
    ::chmod(QFile::encodeName(fallback).constData(), 0755);  // made by someone else beforehand
    EXPECT_TRUE(PrivateRuntimeFolder().isEmpty());
    EXPECT_TRUE(InstanceSocketPath().isEmpty());
    InstanceServer server([](const QString&) {});
    EXPECT_FALSE(server.Listen(InstanceSocketPath()));
    EXPECT_FALSE(HandOverToRunningInstance(InstanceSocketPath(), QStringLiteral("/tmp/x.qlmd"), 1000));

    QDir().rmdir(fallback);
    ASSERT_TRUE(QFile::link(runtimeFolder, fallback));  // a link to a private folder
    EXPECT_TRUE(PrivateRuntimeFolder().isEmpty());
}

TEST_F(SocketFolderTest, TheSocketIsTheUsersOnly)
{
    ::chmod(QFile::encodeName(runtimeFolder).constData(), 0755);
    InstanceServer server([](const QString&) {});
    ASSERT_TRUE(server.Listen(InstanceSocketPath()));
    const mode_t mode = ModeOf(InstanceSocketPath());
    EXPECT_TRUE(S_ISSOCK(mode));
    EXPECT_EQ(mode & 077, mode_t(0)) << std::oct << mode;
}

} // namespace
} // namespace quel::desktop::test
