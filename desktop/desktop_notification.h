#pragma once
// Showing a notification to the user: as a message of the tray icon where one is shown, else
// through the desktop's notification service on the session bus (org.freedesktop.Notifications),
// else not at all: a desktop without either has no place for it, and that is no error.

#include <QString>

class QSystemTrayIcon;

namespace quel::desktop {

enum class NotificationRoute {
    TrayIcon,
    NotificationService,
    None,
};

// tray: the icon while it is shown, else null. The body may hold several lines; warning picks
// the tray's warning icon instead of the information one.
NotificationRoute ShowDesktopNotification(QSystemTrayIcon* tray, const QString& title, const QString& body,
                                          bool warning);

} // namespace quel::desktop
