#include "desktop/critical_notifier.h"

#include "desktop/desktop_notification.h"
#include "desktop/notify_critical_setting.h"
#include "engine/counter_monitor.h"

#include <QStringList>
#include <QTimer>

#include <algorithm>

namespace quel::desktop {

CriticalNotifier::CriticalNotifier(CounterMonitor& monitor, std::function<QString()> title,
                                   std::function<QSystemTrayIcon*()> trayIcon, QObject* parent)
    : QObject(parent), monitor_(monitor), title_(std::move(title)), trayIcon_(std::move(trayIcon)),
      timer_(new QTimer(this))
{
    timer_->setInterval(PollMilliseconds);
    connect(timer_, &QTimer::timeout, this, &CriticalNotifier::Poll);
    enabled_ = ReadNotifyCritical();
    if (enabled_)
        timer_->start();
}

void CriticalNotifier::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    WriteNotifyCritical(enabled);
    if (enabled)
        timer_->start();
    else
        timer_->stop();
}

void CriticalNotifier::Poll()
{
    if (!enabled_)
        return;
    std::vector<CriticalChange> changes;
    monitor_.TakeCriticalChanges(changes);
    if (changes.empty())
        return;
    QStringList lines;
    for (const CriticalChange& change : changes)
        lines << QString::fromStdString(DescribeCriticalChange(change));
    const bool critical =
        std::any_of(changes.begin(), changes.end(), [](const CriticalChange& change) { return change.critical; });
    ShowDesktopNotification(trayIcon_(), title_(), lines.join(QLatin1Char('\n')), critical);
}

} // namespace quel::desktop
