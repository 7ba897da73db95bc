#pragma once
// Time as the engine and the log see it: a millisecond tick count that wraps like a 32-bit
// counter, sleeps, and the wall-clock time for log texts. Tests substitute their own.

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>

namespace quel {

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t TickCount() = 0;    // monotonic milliseconds, modulo 2^32
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    virtual std::time_t Now() = 0;            // wall-clock time (seconds since the epoch)

    // Waits (lock held, released while waiting) until wake() holds or the time is up. The
    // default sleeps in steps of at most 100 ms and looks at wake() between them; the real
    // clock waits on the condition variable, which the waker notifies after changing what
    // wake() reads under the lock.
    virtual void WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& condition,
                         std::uint32_t milliseconds, const std::function<bool()>& wake);
};

// The real clock (steady_clock, this_thread::sleep_for, time()).
Clock& SystemClock();

} // namespace quel
