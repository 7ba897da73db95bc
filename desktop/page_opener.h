#pragma once
// Opening a help page, a log or a web address with the desktop's default program, and saying
// why when that is not possible, the same way for every command that opens something.

#include <QString>
#include <QUrl>

namespace quel::desktop {

class Prompt;
class Shell;

// Opens the local file page, at address when one is given (a page that forwards to an anchor).
// A page that cannot be read gets "Cannot read file: " + page; one that no program opens
// "No program is set up to open " + page, so the user can open it by hand. False after a message.
bool OpenPage(Shell& shell, Prompt& prompt, const QString& page, const QUrl& address = QUrl());
// Opens a local file as OpenPage does, any other address as it stands.
bool OpenAddress(Shell& shell, Prompt& prompt, const QUrl& address);
// "No program is set up to open " + the address (its path when it is a local file).
void ReportNoProgram(Prompt& prompt, const QUrl& address);

} // namespace quel::desktop
