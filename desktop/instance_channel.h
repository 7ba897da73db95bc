#pragma once
// One running program per user takes over later launches: a second launch hands its profile
// (or, without one, a request to show the window) over a local socket in a folder of the user's
// own and ends; the running instance opens the profile as File > Open does, or shows and raises
// its window. So one log never gets two writers from two windows.
//
// Protocol: the client sends the absolute path in UTF-8 followed by "\n", or an empty line to
// have the window shown; the server answers "OK\n" once it has taken the request, "NO\n" when
// the line is neither.

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

namespace quel::desktop {

// Quellarimond.socket in the folder below; empty when there is no safe folder.
QString InstanceSocketPath();
// The folder for the socket: $XDG_RUNTIME_DIR when it is a folder of this user that nobody else
// may write to; else "quellarimond-<uid>" in the temporary folder, made with mode 0700 and
// used only while it is a real folder of this user that only the user may enter. Empty when
// neither is safe.
QString PrivateRuntimeFolder();

// Hands path (empty: "show the window") to the instance listening at socketPath; true once it
// has acknowledged it.
bool HandOverToRunningInstance(const QString& socketPath, const QString& path, int timeoutMs);

class InstanceServer final : public QObject {
    Q_OBJECT

public:
    // Called with the absolute path of a profile to open, or an empty path to show the window.
    using OpenHandler = std::function<void(const QString&)>;
    explicit InstanceServer(OpenHandler open, QObject* parent = nullptr);
    ~InstanceServer() override;

    // Listens at socketPath, taking over a socket that no program answers any longer; the socket
    // is accessible to the user only. False when another instance listens there or the socket
    // cannot be made.
    bool Listen(const QString& socketPath);

private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);

    OpenHandler open_;
    QLocalServer* server_ = nullptr;
};

} // namespace quel::desktop
