#pragma once
// One running program per user takes the profiles of later launches: a second launch with a
// profile hands its path over a local socket in the user's runtime folder and ends; the running
// instance opens it as File > Open does.
//
// Protocol: the client sends the absolute path in UTF-8 followed by "\n"; the server answers
// "OK\n" once it has taken the path, "NO\n" when the line is not an absolute path.

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

namespace quel::desktop {

// $XDG_RUNTIME_DIR/Quellarimond.socket (Qt's per-user runtime folder when that is unset).
QString InstanceSocketPath();

// Hands path to the instance listening at socketPath; true once it has acknowledged it.
bool HandOverToRunningInstance(const QString& socketPath, const QString& path, int timeoutMs);

class InstanceServer final : public QObject {
    Q_OBJECT

public:
    using OpenHandler = std::function<void(const QString&)>;
    explicit InstanceServer(OpenHandler open, QObject* parent = nullptr);
    ~InstanceServer() override;

    // Listens at socketPath, taking over a socket that no program answers any longer. False when
    // another instance listens there or the socket cannot be made.
    bool Listen(const QString& socketPath);

private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);

    OpenHandler open_;
    QLocalServer* server_ = nullptr;
};

} // namespace quel::desktop
