#pragma once
// TerminationSignals: SIGTERM (the session ending, the user logging out) and SIGINT end the
// program the way closing its main window does, so that the silent save of the profile (window
// placement, colours) happens before the program exits normally. The handler only writes a
// byte into a pipe; the event loop reads it and runs the close.

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace quel::desktop {

class TerminationSignals final : public QObject {
public:
    // Installs the handlers for SIGTERM and SIGINT; close runs in the event loop for each
    // signal, never again while one close is still running (a question the close asks).
    // Nothing is installed when another object has the handlers or no pipe can be made.
    explicit TerminationSignals(std::function<void()> close, QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    bool IsInstalled() const { return notifier_ != nullptr; }

private:
    void OnSignal();

    std::function<void()> close_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool closing_ = false;
};

} // namespace quel::desktop
