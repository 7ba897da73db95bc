#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace quel {
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
};

} // namespace

Clock& SystemClock()
{
    static RealClock clock;
    return clock;
}

} // namespace quel
