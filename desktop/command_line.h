#pragma once
// The desktop program's command line.

#include <QString>
#include <QStringList>

namespace quel::desktop {

// The profile named by the arguments (without the program name): the first argument that is not
// a flag, made absolute against the current folder; empty when there is none. A flag begins with
// "-", or is "/" followed by one of the flag names dde, p, pt, Register, Regserver, Unregister,
// Unregserver, Embedding, Automation (any case); every other argument that begins with "/" is an
// absolute path. After "--" every argument is a parameter. A "file:" URL names its local file.
QString ProfileArgument(const QStringList& arguments);

// What the command line asks for before any window exists.
enum class DesktopRequest {
    Run,      // the window, with the profile of ProfileArgument
    Help,     // -h, --help: the usage on stdout
    Version,  // --version
    Unknown,  // an option neither ours nor Qt's: the usage on stderr
};

struct DesktopCommand {
    DesktopRequest request = DesktopRequest::Run;
    QString unknownOption;  // Unknown: the option at fault
};

// Reads the arguments (without the program name) as QApplication would get them, so it must
// know Qt's own options (-platform NAME, -style=NAME, -reverse, ...) and their values. Help
// and version win over everything else; the first unknown option otherwise.
DesktopCommand ReadDesktopCommand(const QStringList& arguments);

// "Usage: Quellarimond ..." and the options, ending with a newline.
QString DesktopUsage();

} // namespace quel::desktop
