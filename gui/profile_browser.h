#pragma once
// The file-open dialog in which a profile is picked for another program (the screen saver's
// profile, the service's): "Browse Quellarimond Profiles", profiles first, then all files; the
// chosen file must exist.

#include <QString>

#include <functional>

class QWidget;

namespace quel {

// The dialog starting at start (a folder, or a file whose folder is shown); the chosen path, or
// an empty string when cancelled.
QString BrowseProfiles(QWidget* parent, const QString& start);

// What a dialog calls to browse, so that tests can answer for the user.
using ProfileBrowser = std::function<QString(QWidget* parent, const QString& start)>;

} // namespace quel
