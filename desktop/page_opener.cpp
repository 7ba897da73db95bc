#include "desktop/page_opener.h"

#include "desktop/prompt.h"
#include "desktop/string_table.h"

#include <QFileInfo>

namespace quel::desktop {

bool OpenPage(Shell& shell, Prompt& prompt, const QString& page, const QUrl& address)
{
    if (!QFileInfo(page).isReadable()) {
        prompt.Message(QString::fromLatin1(text::CannotRead) + page);
        return false;
    }
    if (shell.OpenUrl(address.isEmpty() ? QUrl::fromLocalFile(page) : address))
        return true;
    ReportNoProgram(prompt, QUrl::fromLocalFile(page));
    return false;
}

bool OpenAddress(Shell& shell, Prompt& prompt, const QUrl& address)
{
    if (address.isLocalFile())
        return OpenPage(shell, prompt, address.toLocalFile(), address);
    if (shell.OpenUrl(address))
        return true;
    ReportNoProgram(prompt, address);
    return false;
}

void ReportNoProgram(Prompt& prompt, const QUrl& address)
{
    const QString shown = address.isLocalFile() ? address.toLocalFile() : address.toString();
    prompt.Message(QString::fromLatin1(text::NoProgramToOpen) + shown);
}

} // namespace quel::desktop
