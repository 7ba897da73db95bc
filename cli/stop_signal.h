#pragma once
// Ctrl-C (SIGINT) and SIGTERM as a request to stop that a command checks between its steps.
// While a StopSignal exists the first such signal only sets the request; a second one ends the
// program as the signal normally does. The previous handlers come back when it is destroyed.

#include <chrono>
#include <csignal>

namespace quel::cli {

class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    static bool Requested();
    // Sleeps until deadline; false as soon as a stop is requested (at once if it already was).
    static bool SleepUntil(std::chrono::steady_clock::time_point deadline);

private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

} // namespace quel::cli
