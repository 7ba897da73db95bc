#include "service/signal_watcher.h"

#include <csignal>
#include <pthread.h>
#include <system_error>

namespace quel {
namespace {

// SIGUSR1 only wakes the watcher when it is told to quit.
constexpr int WakeSignal = SIGUSR1;

sigset_t WatchedSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, WakeSignal})
        sigaddset(&set, signal);
    return set;
}

} // namespace

SignalWatcher::~SignalWatcher()
{
    Stop();
}

bool SignalWatcher::Start(Handler handler)
{
    if (thread_.joinable())
        return false;
    const sigset_t set = WatchedSignals();
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0)
        return false;
    handler_ = std::move(handler);
    quitting_ = false;
    try {
        thread_ = std::thread(&SignalWatcher::Run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void SignalWatcher::Stop()
{
    if (!thread_.joinable())
        return;
    quitting_ = true;
    pthread_kill(thread_.native_handle(), WakeSignal);
    thread_.join();
}

void SignalWatcher::Run()
{
    const sigset_t set = WatchedSignals();
    for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0)
            continue;
        if (quitting_)
            return;
        if (signal != WakeSignal)
            handler_(signal);
    }
}

} // namespace quel
