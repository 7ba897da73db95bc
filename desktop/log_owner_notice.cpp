#include "desktop/log_owner_notice.h"

#include "desktop/string_table.h"
#include "engine/counter_monitor.h"

#include <QLabel>
#include <QStatusBar>
#include <QTimer>

namespace quel::desktop {
namespace {

constexpr int CheckMilliseconds = 1000;
constexpr const char* NotLogging = "Not logging: another program writes this profile's log";

} // namespace

LogOwnerNotice::LogOwnerNotice(QLabel& label, QStatusBar& bar, const CounterMonitor& monitor, QObject* parent)
    : QObject(parent), label_(label), bar_(bar), monitor_(monitor), timer_(new QTimer(this))
{
    // Polled: a profile can be opened, or its logging switched on, by many paths.
    connect(timer_, &QTimer::timeout, this, [this] { Update(); });
    timer_->start(CheckMilliseconds);
}

void LogOwnerNotice::Update()
{
    const bool elsewhere = monitor_.IsLogWrittenElsewhere();
    if (elsewhere == shown_)
        return;
    shown_ = elsewhere;
    label_.setText(QString::fromLatin1(elsewhere ? NotLogging : text::Ready));
    if (elsewhere)
        bar_.show();
}

} // namespace quel::desktop
