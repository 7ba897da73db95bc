#pragma once
// Memory, from /proc/meminfo, /proc/sys/vm/overcommit_memory and /proc/vmstat.

#include "platform/object_family.h"
#include "platform/page_feed.h"
#include "platform/proc_file.h"

#include <cstdint>
#include <string>

namespace quel {

// The /proc/meminfo fields we use, in KiB.
struct MemInfo {
    std::uint64_t memTotal = 0;
    std::uint64_t memFree = 0;
    std::uint64_t memAvailable = 0;
    std::uint64_t buffers = 0;
    std::uint64_t cached = 0;
    std::uint64_t swapTotal = 0;
    std::uint64_t dirty = 0;
    std::uint64_t writeback = 0;
    std::uint64_t sReclaimable = 0;
    std::uint64_t sUnreclaim = 0;
    std::uint64_t commitLimit = 0;
    std::uint64_t committedAs = 0;
    bool hasMemTotal = false;
    bool hasMemFree = false;
    bool hasMemAvailable = false;
    bool hasBuffers = false;
    bool hasCached = false;
    bool hasSwapTotal = false;
    bool hasDirty = false;
    bool hasWriteback = false;
    bool hasSReclaimable = false;
    bool hasSUnreclaim = false;
    bool hasCommitLimit = false;
    bool hasCommittedAs = false;
};

// The /proc/vmstat fields we use.
struct VmStat {
    std::uint64_t pswpin = 0;
    std::uint64_t pswpout = 0;
    std::uint64_t pgfault = 0;
    std::uint64_t pgmajfault = 0;
    bool hasPswpin = false;
    bool hasPswpout = false;
    bool hasSwapping = false;  // pswpin and pswpout
    bool hasFaults = false;
    bool hasMajorFaults = false;
};

class MemorySource final : public PageFeed {
public:
    explicit MemorySource(const std::string& procRoot);
    void RefreshMemInfo();
    void RefreshOvercommit();
    void RefreshVmStat();

    const MemInfo* Info() const { return infoValid_ ? &info_ : nullptr; }
    const VmStat* Vm() const { return vmValid_ ? &vm_ : nullptr; }
    // The commit limit in KiB: CommitLimit under strict overcommit (mode 2), else MemTotal +
    // SwapTotal, the most that can be committed before the system runs out.
    bool CommitLimit(std::uint64_t& kib) const;


    // The node exporter's series of this source (PageFeed).
    std::span<const std::string_view> Series() const override;
    void BeginPage(std::uint64_t collection) override;
    void TakeSample(const ExpositionPage& page, const ExpositionSample& sample) override;
    void EndPage() override;

private:
    ProcFile meminfo_;
    ProcFile overcommit_;
    ProcFile vmstat_;
    MemInfo info_;
    VmStat vm_;
    bool infoValid_ = false;
    bool vmValid_ = false;
    bool strictOvercommit_ = false;
};

const ObjectFamily& MemoryFamily();

} // namespace quel
