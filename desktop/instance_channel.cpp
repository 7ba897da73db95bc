#include "desktop/instance_channel.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

namespace quel::desktop {

namespace {

// Longer lines are not paths any program of ours sends.
constexpr qint64 MaxRequestBytes = 8192;
constexpr int ProbeTimeoutMs = 500;
const QByteArray Acknowledgement = QByteArrayLiteral("OK\n");
const QByteArray Refusal = QByteArrayLiteral("NO\n");

} // namespace

QString InstanceSocketPath()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(folder).filePath(QStringLiteral("Quellarimond.socket"));
}

bool HandOverToRunningInstance(const QString& socketPath, const QString& path, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(path.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    QByteArray answer;
    while (!answer.contains('\n') && socket.waitForReadyRead(timeoutMs))
        answer += socket.readAll();
    return answer.startsWith(Acknowledgement);
}

InstanceServer::InstanceServer(OpenHandler open, QObject* parent) : QObject(parent), open_(std::move(open))
{
}

InstanceServer::~InstanceServer() = default;

bool InstanceServer::Listen(const QString& socketPath)
{
    if (server_ != nullptr)
        return false;
    {
        QLocalSocket probe;
        probe.connectToServer(socketPath);
        if (probe.waitForConnected(ProbeTimeoutMs))
            return false;  // another instance answers there
    }
    // A socket file nobody answers at is what a crashed instance leaves behind. The runtime
    // folder is the user's own, so the socket needs no permissions of its own (with them Qt
    // would rename a new socket over an existing one).
    QLocalServer::removeServer(socketPath);
    auto* server = new QLocalServer(this);
    if (!server->listen(socketPath)) {
        delete server;
        return false;
    }
    server_ = server;
    connect(server_, &QLocalServer::newConnection, this, &InstanceServer::OnNewConnection);
    return true;
}

void InstanceServer::OnNewConnection()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        // A client that never finishes its line is dropped.
        QTimer::singleShot(10000, socket, [socket] { socket->abort(); });
        if (socket->bytesAvailable() > 0)
            OnReadyRead(socket);
    }
}

void InstanceServer::OnReadyRead(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > MaxRequestBytes)
            socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(MaxRequestBytes).trimmed();
    const QString path = QString::fromUtf8(line);
    const bool taken = !path.isEmpty() && QFileInfo(path).isAbsolute();
    socket->write(taken ? Acknowledgement : Refusal);
    socket->flush();
    socket->disconnectFromServer();
    if (!taken)
        return;
    // Opened from the event loop: the open may ask questions, and the client waits for nobody.
    QTimer::singleShot(0, this, [this, path] { open_(path); });
}

} // namespace quel::desktop
