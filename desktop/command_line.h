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

} // namespace quel::desktop
