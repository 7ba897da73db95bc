// Quellarimond: the desktop program.

#include "desktop/command_line.h"
#include "desktop/instance_channel.h"
#include "desktop/main_frame.h"
#include "desktop/page_opener.h"
#include "desktop/qt_prompt.h"
#include "desktop/qt_shell.h"
#include "desktop/quellarimond_app.h"
#include "desktop/termination_signals.h"
#include "gui/qt_message_sink.h"
#include "platform/file_size_signal.h"
#include "platform/linux_perf_data_source.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>

namespace {

// How long a second launch waits for the running instance to take its request.
constexpr int HandOverTimeoutMs = 5000;

void Print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// Answers --help, --version and unknown options before QApplication, which needs a display;
// -1 when the program is to run.
int AnswerCommandLine(int argc, char* argv[])
{
    using namespace quel::desktop;
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(QString::fromLocal8Bit(argv[i]));
    const DesktopCommand command = ReadDesktopCommand(arguments);
    switch (command.request) {
    case DesktopRequest::Help:
        Print(stdout, DesktopUsage());
        return 0;
    case DesktopRequest::Version:
        Print(stdout, QStringLiteral("Quellarimond " QUEL_VERSION "\n"));
        return 0;
    case DesktopRequest::Unknown:
        Print(stderr, QStringLiteral("Quellarimond: unknown option \"%1\"\n").arg(command.unknownOption) + DesktopUsage());
        return 2;
    case DesktopRequest::Run:
        break;
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    quel::IgnoreFileSizeSignal();
    if (const int answered = AnswerCommandLine(argc, argv); answered >= 0)
        return answered;
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QApplication::setApplicationName(QStringLiteral("Quellarimond"));
    QApplication::setApplicationVersion(QStringLiteral(QUEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quellarimond"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quellarimond/quellarimond.svg")));

    using namespace quel::desktop;
    const QStringList arguments = QApplication::arguments().mid(1);
    const QString socketPath = InstanceSocketPath();
    const QString profile = ProfileArgument(arguments);
    // A running instance opens the profile, or shows its window when there is none.
    if (HandOverToRunningInstance(socketPath, profile, HandOverTimeoutMs))
        return 0;

    quel::LinuxPerfDataSource source;
    QtPrompt prompt;
    QtShell shell([&prompt](const QUrl& url) { ReportNoProgram(prompt, url); });
    quel::QtMessageSink messages(application);

    AppEnvironment environment;
    environment.source = &source;
    environment.prompt = &prompt;
    environment.shell = &shell;
    environment.messages = &messages;

    CQuellarimondApp app(std::move(environment));
    if (!app.InitInstance(arguments))
        return 1;

    InstanceServer server([&app](const QString& path) { app.OpenHandedOverFile(path); });
    server.Listen(socketPath);

    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(app.MainFrame(), &CMainFrame::Closed, &application, &QApplication::quit, Qt::QueuedConnection);
    // Logging out closes the window as the user would, with its silent save.
    const TerminationSignals termination([&app] { app.OnAppExit(); });
    return QApplication::exec();
}
