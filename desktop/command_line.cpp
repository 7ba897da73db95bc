#include "desktop/command_line.h"

#include <QFileInfo>
#include <QUrl>

namespace quel::desktop {

namespace {

bool IsSlashFlag(const QString& argument)
{
    static const QStringList names = {
        QStringLiteral("dde"),        QStringLiteral("p"),           QStringLiteral("pt"),
        QStringLiteral("Register"),   QStringLiteral("Regserver"),   QStringLiteral("Unregister"),
        QStringLiteral("Unregserver"), QStringLiteral("Embedding"), QStringLiteral("Automation"),
    };
    return argument.startsWith(QLatin1Char('/')) && names.contains(argument.mid(1), Qt::CaseInsensitive);
}

// Qt's own options, which QApplication takes out of the arguments ("--name" works as "-name").
const QStringList& QtOptionsWithValue()
{
    static const QStringList names = {
        QStringLiteral("platform"),  QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),    QStringLiteral("qwindowgeometry"),    QStringLiteral("geometry"),
        QStringLiteral("qwindowtitle"), QStringLiteral("title"),           QStringLiteral("qwindowicon"),
        QStringLiteral("icon"),      QStringLiteral("session"),            QStringLiteral("display"),
        QStringLiteral("name"),      QStringLiteral("style"),              QStringLiteral("stylesheet"),
        QStringLiteral("visual"),    QStringLiteral("qmljsdebugger"),
    };
    return names;
}

const QStringList& QtFlags()
{
    static const QStringList names = {
        QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("sync"),
        QStringLiteral("nograb"),  QStringLiteral("dograb"),      QStringLiteral("testability"),
    };
    return names;
}

// The option's name without its dashes and without "=value".
QString OptionName(const QString& argument)
{
    const int dashes = argument.startsWith(QLatin1String("--")) ? 2 : 1;
    return argument.mid(dashes).section(QLatin1Char('='), 0, 0);
}

QString AbsoluteProfilePath(const QString& argument)
{
    QString path = argument;
    if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(argument);
        if (url.isLocalFile())
            path = url.toLocalFile();
    }
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

QString ProfileArgument(const QStringList& arguments)
{
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        if (argument.isEmpty())
            continue;
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && (argument.startsWith(QLatin1Char('-')) || IsSlashFlag(argument)))
            continue;
        return AbsoluteProfilePath(argument);
    }
    return QString();
}

DesktopCommand ReadDesktopCommand(const QStringList& arguments)
{
    DesktopCommand command;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--"))
            break;
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help"))
            return {DesktopRequest::Help, QString()};
        if (argument == QLatin1String("--version"))
            return {DesktopRequest::Version, QString()};
        if (argument.size() < 2 || !argument.startsWith(QLatin1Char('-')) || command.request == DesktopRequest::Unknown)
            continue;
        const QString name = OptionName(argument);
        if (QtOptionsWithValue().contains(name)) {
            if (!argument.contains(QLatin1Char('=')))
                ++i;  // its value
        } else if (!QtFlags().contains(name)) {
            command = {DesktopRequest::Unknown, argument};
        }
    }
    return command;
}

QString DesktopUsage()
{
    return QStringLiteral(
        "Usage: Quellarimond [PROFILE.qlmd]\n"
        "Shows the counters of a profile in a wind rose diagram. Without a profile it reopens the\n"
        "last one used; on the first start it shows the standard counters and the new-profile wizard.\n"
        "While it runs, a second start hands the profile to its window.\n"
        "  -h, --help     show this help\n"
        "  --version      show the version\n"
        "Qt's options (-platform NAME, -style NAME, -reverse, ...) are taken as well.\n");
}

} // namespace quel::desktop
