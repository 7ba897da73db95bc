#pragma once
// Time as the engine and the log see it: a millisecond tick count that wraps like a 32-bit
// counter, a sleep, and the wall-clock time for log texts. Tests substitute their own.

#include <cstdint>
#include <ctime>

namespace quel {

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t TickCount() = 0;    // monotonic milliseconds, modulo 2^32
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    virtual std::time_t Now() = 0;            // wall-clock time (seconds since the epoch)
};

// The real clock (steady_clock, this_thread::sleep_for, time()).
Clock& SystemClock();

} // namespace quel
