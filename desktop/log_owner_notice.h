#pragma once
// LogOwnerNotice: says in the status bar when another program writes the profile's log, so
// that this window shows the profile without logging it. The status bar, hidden by default,
// is shown when the notice appears; "Ready" comes back when the log is this program's again.

#include <QObject>

class QLabel;
class QStatusBar;
class QTimer;

namespace quel {
class CounterMonitor;
}

namespace quel::desktop {

class LogOwnerNotice final : public QObject {
public:
    // label is the status bar's text; the notice lives as long as parent.
    LogOwnerNotice(QLabel& label, QStatusBar& bar, const CounterMonitor& monitor, QObject* parent);

    // Looks at the monitor's log now (the timer does so every second).
    void Update();

private:
    QLabel& label_;
    QStatusBar& bar_;
    const CounterMonitor& monitor_;
    QTimer* timer_ = nullptr;
    bool shown_ = false;
};

} // namespace quel::desktop
