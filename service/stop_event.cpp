#include "service/stop_event.h"

namespace quel {

void StopEvent::Set()
{
    {
        std::lock_guard guard(lock_);
        set_ = true;
    }
    changed_.notify_all();
}

bool StopEvent::IsSet() const
{
    std::lock_guard guard(lock_);
    return set_;
}

void StopEvent::Wait()
{
    std::unique_lock guard(lock_);
    changed_.wait(guard, [this] { return set_; });
}

} // namespace quel
