#include "desktop/instance_channel.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QFile>
#include <QTimer>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace quel::desktop {

namespace {

// Longer lines are not paths any program of ours sends.
constexpr qint64 MaxRequestBytes = 8192;
constexpr int ProbeTimeoutMs = 500;
const QByteArray Acknowledgement = QByteArrayLiteral("OK\n");
const QByteArray Refusal = QByteArrayLiteral("NO\n");

// A real folder (no symbolic link) of this user that nobody else may write to; with
// userOnly, one that nobody else may even enter.
bool IsOwnFolder(const QString& folder, bool userOnly)
{
    struct stat info {};
    if (folder.isEmpty() || ::lstat(QFile::encodeName(folder).constData(), &info) != 0)
        return false;
    const mode_t forbidden = userOnly ? mode_t(S_IRWXG | S_IRWXO) : mode_t(S_IWGRP | S_IWOTH);
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & forbidden) == 0;
}

} // namespace

QString PrivateRuntimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (IsOwnFolder(runtime, false))
        return runtime;
    // mkdir fails on anything already there, so what is checked next is what gets used.
    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("quellarimond-%1").arg(::geteuid()));
    if (::mkdir(QFile::encodeName(own).constData(), S_IRWXU) != 0 && errno != EEXIST)
        return QString();
    return IsOwnFolder(own, true) ? own : QString();
}

QString InstanceSocketPath()
{
    const QString folder = PrivateRuntimeFolder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("Quellarimond.socket"));
}

bool HandOverToRunningInstance(const QString& socketPath, const QString& path, int timeoutMs)
{
    if (socketPath.isEmpty())
        return false;
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
    if (server_ != nullptr || socketPath.isEmpty())
        return false;
    {
        QLocalSocket probe;
        probe.connectToServer(socketPath);
        if (probe.waitForConnected(ProbeTimeoutMs))
            return false;  // another instance answers there
    }
    // A socket file nobody answers at is what a crashed instance leaves behind.
    QLocalServer::removeServer(socketPath);
    auto* server = new QLocalServer(this);
    // Made in a private folder with the user's permissions, then renamed into place.
    server->setSocketOptions(QLocalServer::UserAccessOption);
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
    const bool taken = path.isEmpty() || QFileInfo(path).isAbsolute();
    socket->write(taken ? Acknowledgement : Refusal);
    socket->flush();
    socket->disconnectFromServer();
    if (!taken)
        return;
    // Opened from the event loop: the open may ask questions, and the client waits for nobody.
    QTimer::singleShot(0, this, [this, path] { open_(path); });
}

} // namespace quel::desktop
