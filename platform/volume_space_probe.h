#pragma once
// VolumeSpaceProbe: runs statvfs for the mounted volumes on a thread of its own, so that a call
// that hangs (a dead network mount) never stalls sampling. Each collection starts a new round
// (unless the last one is still running) and uses the latest answer of each volume, which is
// normally the previous round's. Only when a volume has never been answered does it wait for the
// round, and then a short time at most. A volume whose call has not returned has no answer.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace quel {

struct VolumeSpace {
    std::uint64_t blocks = 0;      // f_blocks
    std::uint64_t freeBlocks = 0;  // f_bfree
    std::uint64_t available = 0;   // f_bavail
    std::uint64_t blockSize = 0;   // f_frsize
};

// statvfs of one mount point; tests substitute their own.
using VolumeStatFunction = std::function<bool(const char* mountPoint, VolumeSpace& space)>;
bool StatVolume(const char* mountPoint, VolumeSpace& space);

enum class VolumeAnswer { None, Ok, Failed };

// One mounted volume as the collection sees it; the probe fills answer and space.
struct VolumeQuery {
    std::string mountPoint;
    std::uint64_t device = 0;
    VolumeAnswer answer = VolumeAnswer::None;
    VolumeSpace space;
};

class VolumeSpaceProbe {
public:
    VolumeSpaceProbe(VolumeStatFunction stat, std::chrono::milliseconds wait);
    // Stops the thread and joins it. A thread stuck in statvfs is given a grace period and then
    // left to finish on its own: it only touches state it shares ownership of.
    ~VolumeSpaceProbe();
    VolumeSpaceProbe(const VolumeSpaceProbe&) = delete;
    VolumeSpaceProbe& operator=(const VolumeSpaceProbe&) = delete;

    // Hands over the volumes of this collection, runs a round (see above) and fills in each
    // volume's latest answer. The thread starts on the first call.
    void Probe(std::span<VolumeQuery> volumes);

private:
    struct Entry {
        std::string mountPoint;
        std::uint64_t device = 0;
        VolumeAnswer answer = VolumeAnswer::None;
        VolumeSpace space;
        bool inFlight = false;
    };
    struct State {
        VolumeStatFunction stat;
        std::mutex mutex;
        std::condition_variable work;
        std::condition_variable done;
        std::vector<Entry> entries;
        std::uint64_t requested = 0;
        std::uint64_t completed = 0;
        bool stop = false;
        bool exited = false;
    };

    bool EnsureThread();
    static void Run(std::shared_ptr<State> state);
    static void RunRound(State& state, std::unique_lock<std::mutex>& lock, std::string& path);
    static void SyncEntries(State& state, std::span<const VolumeQuery> volumes);

    std::shared_ptr<State> state_;
    std::chrono::milliseconds wait_;
    std::thread thread_;
    bool running_ = false;
};

} // namespace quel
