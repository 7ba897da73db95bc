#pragma once
// A clock whose time moves only by the sleeps of the code under test, so the sampling
// thread's timing is exact; a sleep yields for a moment of real time.

#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace quel::test {

class FakeClock : public Clock {
public:
    explicit FakeClock(std::uint32_t start = 1'000'000) : now_(start) {}
    std::uint32_t TickCount() override { return now_.load(); }
    void Sleep(std::uint32_t milliseconds) override
    {
        now_ += milliseconds;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    std::time_t Now() override { return wall_.load(); }
    void SetNow(std::time_t time) { wall_ = time; }

private:
    std::atomic<std::uint32_t> now_;
    std::atomic<std::time_t> wall_ {1'700'000'000};
};

// Polls a condition in real time until it holds or the time limit passes.
template <typename Predicate>
bool WaitFor(Predicate predicate, int limitMs = 20000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace quel::test
