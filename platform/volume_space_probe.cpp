#include "platform/volume_space_probe.h"

#include <algorithm>
#include <sys/statvfs.h>
#include <system_error>
#include <utility>

namespace quel {
namespace {

constexpr std::chrono::seconds StopGrace{2};

bool SameVolume(const std::string& mountPoint, std::uint64_t device, const VolumeQuery& volume)
{
    return device == volume.device && mountPoint == volume.mountPoint;
}

} // namespace

bool StatVolume(const char* mountPoint, VolumeSpace& space)
{
    struct statvfs info {};
    if (::statvfs(mountPoint, &info) != 0)
        return false;
    space = VolumeSpace{info.f_blocks, info.f_bfree, info.f_bavail, info.f_frsize != 0 ? info.f_frsize : info.f_bsize};
    return true;
}

VolumeSpaceProbe::VolumeSpaceProbe(VolumeStatFunction stat, std::chrono::milliseconds wait)
    : state_(std::make_shared<State>()), wait_(wait)
{
    state_->stat = stat ? std::move(stat) : VolumeStatFunction(StatVolume);
}

bool VolumeSpaceProbe::EnsureThread()
{
    // Started on first use, so a provider without LogicalDisk counters runs no thread.
    if (!running_) {
        try {
            thread_ = std::thread(Run, state_);
            running_ = true;
        } catch (const std::system_error&) {
            // Without the thread no volume is answered: their reads fail; the next probe retries.
        }
    }
    return running_;
}

VolumeSpaceProbe::~VolumeSpaceProbe()
{
    if (!running_)
        return;
    bool exited = false;
    {
        std::unique_lock lock(state_->mutex);
        state_->stop = true;
        state_->work.notify_all();
        exited = state_->done.wait_for(lock, StopGrace, [this] { return state_->exited; });
    }
    if (exited)
        thread_.join();
    else
        thread_.detach();  // stuck in the kernel; it owns a share of State and ends by itself
}

void VolumeSpaceProbe::Run(std::shared_ptr<State> state)
{
    std::string path;  // the mount point in flight, reused so a round allocates nothing
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->work.wait(lock, [&] { return state->stop || state->requested > state->completed; });
        if (state->stop)
            break;
        RunRound(*state, lock, path);
    }
    state->exited = true;
    state->done.notify_all();
}

void VolumeSpaceProbe::RunRound(State& state, std::unique_lock<std::mutex>& lock, std::string& path)
{
    const std::uint64_t round = state.requested;
    for (std::size_t i = 0; i < state.entries.size() && !state.stop; ++i) {
        Entry& entry = state.entries[i];
        path = entry.mountPoint;
        const std::uint64_t device = entry.device;
        entry.inFlight = true;
        lock.unlock();
        VolumeSpace space;
        const bool ok = state.stat(path.c_str(), space);
        lock.lock();
        // The list may have been replaced meanwhile; the volume is found again by identity.
        for (Entry& current : state.entries) {
            if (current.device == device && current.mountPoint == path) {
                current.inFlight = false;
                current.answer = ok ? VolumeAnswer::Ok : VolumeAnswer::Failed;
                current.space = space;
                break;
            }
        }
    }
    state.completed = round;
    state.done.notify_all();
}

void VolumeSpaceProbe::SyncEntries(State& state, std::span<const VolumeQuery> volumes)
{
    const bool same = std::equal(state.entries.begin(), state.entries.end(), volumes.begin(), volumes.end(),
                                 [](const Entry& e, const VolumeQuery& v) { return SameVolume(e.mountPoint, e.device, v); });
    if (same)
        return;
    std::vector<Entry> entries;
    entries.reserve(volumes.size());
    for (const VolumeQuery& volume : volumes) {
        const auto old = std::find_if(state.entries.begin(), state.entries.end(),
                                      [&](const Entry& e) { return SameVolume(e.mountPoint, e.device, volume); });
        entries.push_back(old != state.entries.end() ? *old : Entry{volume.mountPoint, volume.device, {}, {}, false});
    }
    state.entries = std::move(entries);
}

void VolumeSpaceProbe::Probe(std::span<VolumeQuery> volumes)
{
    const bool running = EnsureThread();
    bool wake = false;
    {
        std::unique_lock lock(state_->mutex);
        SyncEntries(*state_, volumes);
        if (running && state_->completed == state_->requested) {
            // Volumes answered before use their latest answer while this round runs; a volume
            // never answered (new, or the first collection) is worth a short wait.
            const bool unanswered = std::any_of(state_->entries.begin(), state_->entries.end(),
                                                [](const Entry& e) { return e.answer == VolumeAnswer::None; });
            const std::uint64_t round = ++state_->requested;
            if (unanswered) {
                state_->work.notify_one();
                state_->done.wait_for(lock, wait_, [&] { return state_->completed >= round; });
            } else {
                wake = true;
            }
        }
        for (std::size_t i = 0; i < volumes.size(); ++i) {
            const Entry& entry = state_->entries[i];
            volumes[i].answer = entry.inFlight ? VolumeAnswer::None : entry.answer;
            volumes[i].space = entry.space;
        }
    }
    if (wake)  // after unlocking, so the thread does not wake only to wait for the lock
        state_->work.notify_one();
}

} // namespace quel
