#include "desktop/termination_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace quel::desktop {
namespace {

constexpr int HandledSignals[] = {SIGTERM, SIGINT};

// The handler's only state: process-wide, as signal handlers are.
int signalPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> close, QObject* parent)
    : QObject(parent), close_(std::move(close))
{
    if (signalPipe[0] >= 0 || ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { OnSignal(); });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : HandledSignals)
        ::sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    if (!notifier_)
        return;
    for (int signal : HandledSignals)
        std::signal(signal, SIG_DFL);
    notifier_.reset();
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void TerminationSignals::OnSignal()
{
    char bytes[16];
    while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    // A close that asks whether to save runs a nested event loop: a second signal meanwhile
    // would ask again.
    if (closing_)
        return;
    closing_ = true;
    close_();
    closing_ = false;
}

} // namespace quel::desktop
