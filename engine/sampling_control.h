#pragma once
// SamplingControl: the process-wide record of the one sampling thread a process may run.
// Its lock guards only these flags; it is always taken before a monitor's lock.

#include <condition_variable>
#include <mutex>

namespace quel {

class CounterMonitor;

struct SamplingControl {
    std::mutex lock;
    bool running = false;         // a thread exists (between StartSampling and its end)
    bool starting = false;        // StartSampling made it; it has not taken its first step
    bool stopRequested = false;   // StopSampling asked it to end
    bool repaintAtStart = false;  // repaint the window as soon as the thread runs
    bool sampleNow = false;       // RequestSample: sample at the next poll
    CounterMonitor* monitor = nullptr;
    std::condition_variable wake;  // notified when stopRequested or sampleNow is set

    static SamplingControl& Instance();
};

} // namespace quel
