#include "cli/stop_signal.h"

#include <algorithm>
#include <thread>

namespace quel::cli {
namespace {

// Written by the signal handler, hence process-wide.
volatile std::sig_atomic_t stopRequested = 0;

extern "C" void OnStopSignal(int signal)
{
    if (stopRequested) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    stopRequested = 1;
}

} // namespace

StopSignal::StopSignal()
{
    stopRequested = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, &previousInt_);
    sigaction(SIGTERM, &action, &previousTerm_);
}

StopSignal::~StopSignal()
{
    sigaction(SIGINT, &previousInt_, nullptr);
    sigaction(SIGTERM, &previousTerm_, nullptr);
}

bool StopSignal::Requested()
{
    return stopRequested != 0;
}

bool StopSignal::SleepUntil(std::chrono::steady_clock::time_point deadline)
{
    constexpr auto Step = std::chrono::milliseconds(50);
    for (;;) {
        if (Requested())
            return false;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(deadline - now, Step));
    }
}

} // namespace quel::cli
