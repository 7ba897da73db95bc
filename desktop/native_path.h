#pragma once
// Paths cross between Qt (QString) and the core (std::string holding the file system's bytes).

#include <QFile>
#include <QString>

#include <string>

namespace quel::desktop {

inline std::string ToNative(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

inline QString FromNative(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace quel::desktop
