#pragma once
// StopEvent: a manual-reset event. Once set it stays set, and every wait returns at once.

#include <condition_variable>
#include <mutex>

namespace quel {

class StopEvent {
public:
    void Set();
    bool IsSet() const;
    void Wait();

private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    bool set_ = false;
};

} // namespace quel
