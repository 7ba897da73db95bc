// The application: command line, program folder, help pages, the recent-file list, the About
// box's link and the hand-over of a profile from a second launch.

#include "tests/desktop/desktop_test_support.h"

#include "desktop/command_ids.h"
#include "desktop/command_line.h"
#include "desktop/help_pages.h"
#include "desktop/instance_channel.h"
#include "desktop/main_frame.h"
#include "desktop/menus.h"
#include "desktop/program_folder.h"
#include "desktop/quellarimond_doc.h"
#include "desktop/static_link.h"

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
    EXPECT_EQ(prompt.messages[1],
              QString::fromStdString("Cannot read file: \"file://" + helpFolder + "log.html#config\""));
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
    CStaticLink link(QStringLiteral("Quellarimond help"), QString(), shell, nullptr);
    link.SetBeforeOpen([this] { Frame().SetTopmost(false); });
    EXPECT_EQ(link.Target(), QStringLiteral("Quellarimond help"));
    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);

    CStaticLink web(QStringLiteral("help"), QStringLiteral("https://example.org/"), shell, nullptr);
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

} // namespace
} // namespace quel::desktop::test
