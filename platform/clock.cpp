#include "platform/clock.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace quel {

void Clock::WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable&, std::uint32_t milliseconds,
                    const std::function<bool()>& wake)
{
    constexpr std::uint32_t Step = 100;
    for (std::uint32_t waited = 0; waited < milliseconds && !wake();) {
        const std::uint32_t step = std::min(Step, milliseconds - waited);
        lock.unlock();
        Sleep(step);
        lock.lock();
        waited += step;
    }
}

namespace {

class RealClock final : public Clock {
public:
    std::uint32_t TickCount() override
    {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    void Sleep(std::uint32_t milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    std::time_t Now() override { return std::time(nullptr); }
    void WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& condition, std::uint32_t milliseconds,
                 const std::function<bool()>& wake) override
    {
        condition.wait_for(lock, std::chrono::milliseconds(milliseconds), wake);
    }
};

} // namespace

Clock& SystemClock()
{
    static RealClock clock;
    return clock;
}

} // namespace quel
