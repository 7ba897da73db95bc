#include "desktop/help_pages.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace quel::desktop {

namespace {

bool HasContents(const std::string& folder)
{
    return QFileInfo::exists(QString::fromStdString(folder) + QStringLiteral("help.html"));
}

QString HtmlEscaped(const QString& text)
{
    return text.toHtmlEscaped();
}

} // namespace

HelpTopic HelpTopicFor(unsigned helpContext)
{
    unsigned topic = helpContext - 0x20000u;
    if (topic > 0x10000u)
        topic -= 0x10000u;
    switch (topic) {
    case 106:
        return {"useit.html", "#new"};
    case 130:
        return {"useit.html", "#modify"};
    case 132:
        return {"useit.html", "#remote"};
    case 133:
        return {"useit.html", "#options"};
    case 146:
        return {"log.html", "#config"};
    case 200:
        return {"troubles.html", "#confail"};
    default:
        return {"help.html", ""};
    }
}

std::string FindHelpFolder(const std::string& programFolder)
{
    const std::string beside = programFolder + "Help/";
    if (HasContents(beside))
        return beside;
    const std::string relative = programFolder + "../share/quellarimond/Help/";
    if (!programFolder.empty() && HasContents(relative))
        return QDir::cleanPath(QString::fromStdString(relative)).toStdString() + "/";
#ifdef QUEL_INSTALL_DATADIR
    const std::string installed = std::string(QUEL_INSTALL_DATADIR) + "/quellarimond/Help/";
    if (HasContents(installed))
        return installed;
#endif
    return beside;
}

QUrl HelpAddress(const QString& page, const QString& anchor, const QString& redirectFolder)
{
    QUrl target = QUrl::fromLocalFile(page);
    if (anchor.isEmpty())
        return target;
    target.setFragment(anchor.mid(1));

    // One forwarding page per topic, so two requests in a row never overwrite each other's.
    const QString name = QStringLiteral("help-%1-%2.html").arg(QFileInfo(page).completeBaseName(), anchor.mid(1));
    if (!QDir().mkpath(redirectFolder))
        return QUrl();
    const QString address = HtmlEscaped(target.toString(QUrl::FullyEncoded));
    QSaveFile file(QDir(redirectFolder).filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return QUrl();
    const QString html = QStringLiteral(
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"refresh\" content=\"0; url=%1\">\n"
        "<title>Quellarimond help</title></head>\n"
        "<body><p><a href=\"%1\">Quellarimond help</a></p></body></html>\n").arg(address);
    file.write(html.toUtf8());
    if (!file.commit())
        return QUrl();
    return QUrl::fromLocalFile(file.fileName());
}

} // namespace quel::desktop
