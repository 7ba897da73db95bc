#pragma once
// QuitSignal: SIGTERM (what XScreenSaver sends a saver it ends) and SIGINT end the Qt event
// loop in an orderly way, so that sampling stops and every window goes before the program exits.
// The handler only writes a byte into a pipe that the event loop watches.

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace quel::saver {

class QuitSignal final : public QObject {
    Q_OBJECT

public:
    // Installs the handlers; false (and nothing installed) when no pipe can be made.
    bool Install();
    ~QuitSignal() override;

signals:
    void Received();

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace quel::saver
