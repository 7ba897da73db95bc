#include "desktop/desktop_notification.h"

#include "desktop/string_table.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QVariantMap>

namespace quel::desktop {

namespace {

constexpr int TrayMessageMilliseconds = 10000;

// Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout), sent
// without waiting for the reply: the id it returns is not needed, and a desktop without the
// service must not hold up the user interface.
bool SendToNotificationService(const QString& title, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QString::fromLatin1(text::AppName) << 0u << QStringLiteral("quellarimond") << title << body
         << QStringList() << QVariantMap() << -1;
    return bus.send(call);
}

} // namespace

NotificationRoute ShowDesktopNotification(QSystemTrayIcon* tray, const QString& title, const QString& body,
                                          bool warning)
{
    if (tray != nullptr) {
        tray->showMessage(title, body, warning ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information,
                          TrayMessageMilliseconds);
        return NotificationRoute::TrayIcon;
    }
    if (SendToNotificationService(title, body))
        return NotificationRoute::NotificationService;
    return NotificationRoute::None;
}

} // namespace quel::desktop
