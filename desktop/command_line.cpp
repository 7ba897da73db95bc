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

} // namespace quel::desktop
