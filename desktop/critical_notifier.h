#pragma once
// CriticalNotifier: the "Notify When Critical" option of the desktop program. While it is on, a
// timer on the user-interface thread takes the changes the monitor's CriticalWatch has due
// (axes turned critical or back to normal, at most one per axis a minute) and shows those of one
// moment as one notification, a line per axis, titled as the main window.

#include <QObject>
#include <QString>

#include <functional>

class QSystemTrayIcon;
class QTimer;

namespace quel {
class CounterMonitor;
}

namespace quel::desktop {

class CriticalNotifier final : public QObject {
public:
    static constexpr int PollMilliseconds = 1000;

    // title gives the notification's title; trayIcon the tray icon while it is shown, else null.
    // The option starts as the user's settings file has it.
    CriticalNotifier(CounterMonitor& monitor, std::function<QString()> title,
                     std::function<QSystemTrayIcon*()> trayIcon, QObject* parent);

    bool Enabled() const { return enabled_; }
    // Switches the option and keeps it in the user's settings file. Changes of the time it was
    // off are told when it is switched on: what the user was last told stays what is compared.
    void SetEnabled(bool enabled);
    // Shows what is due now (the timer's work).
    void Poll();

private:
    CounterMonitor& monitor_;
    std::function<QString()> title_;
    std::function<QSystemTrayIcon*()> trayIcon_;
    QTimer* timer_ = nullptr;
    bool enabled_ = false;
};

} // namespace quel::desktop
