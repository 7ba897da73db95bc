// A stand-in for the desktop's notification service on a private session bus: it owns
// org.freedesktop.Notifications and appends every Notify call's summary and body to a file,
// then a line with ".", and prints "ready" once it owns the name.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QStringList>
#include <QVariantMap>

#include <cstdio>

namespace {

class NotificationRecorder final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit NotificationRecorder(QString path) : path_(std::move(path)) {}

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        QFile file(path_);
        if (file.open(QIODevice::Append))
            file.write((summary + QLatin1Char('\n') + body + QStringLiteral("\n.\n")).toUtf8());
        return ++lastId_;
    }

private:
    QString path_;
    uint lastId_ = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fputs("usage: notification_recorder FILE\n", stderr);
        return 2;
    }
    NotificationRecorder recorder(QString::fromLocal8Bit(argv[1]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &recorder,
                            QDBusConnection::ExportAllSlots)
        || !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        std::fputs("cannot own org.freedesktop.Notifications on the session bus\n", stderr);
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "notification_recorder.moc"
