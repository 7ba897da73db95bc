#pragma once
// SignalWatcher: turns the stop signals (SIGINT for Ctrl-C, SIGQUIT for Ctrl-Break, SIGTERM from
// systemd or kill, SIGHUP when the terminal goes away) into calls on an ordinary thread.
//
// Start blocks those signals in the calling thread, so it must run before any other thread is
// made: every thread started later inherits the mask, and only the watcher's sigwait receives
// them. No code runs in signal context, so the handler may lock, print and allocate.

#include <atomic>
#include <functional>
#include <thread>

namespace quel {

class SignalWatcher {
public:
    using Handler = std::function<void(int signal)>;

    SignalWatcher() = default;
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    // False when the signals cannot be blocked or the thread cannot be made.
    bool Start(Handler handler);
    // Ends and joins the watcher. The signals stay blocked: one that arrives later stays pending
    // instead of killing a program that is already shutting down.
    void Stop();

private:
    void Run();

    Handler handler_;
    std::atomic<bool> quitting_ {false};
    std::thread thread_;
};

} // namespace quel
