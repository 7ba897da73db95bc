#pragma once
// Processor (instances 0..N-1 and _Total) from /proc/stat, which also supplies the System
// object's context switches, running tasks and the number of online CPUs.

#include "platform/object_family.h"
#include "platform/page_feed.h"
#include "platform/proc_file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quel {

// Jiffies of one "cpu" line. Guest time is already inside user and nice.
struct CpuTimes {
    std::uint64_t user = 0;
    std::uint64_t nice = 0;
    std::uint64_t system = 0;
    std::uint64_t idle = 0;
    std::uint64_t iowait = 0;
    std::uint64_t irq = 0;
    std::uint64_t softirq = 0;
    std::uint64_t steal = 0;
    bool present = false;

    std::uint64_t Total() const { return user + nice + system + idle + iowait + irq + softirq + steal; }
};

class StatSource final : public PageFeed {
public:
    explicit StatSource(const std::string& procRoot);
    bool Refresh();
    bool Valid() const { return valid_; }

    // Null when the CPU is not listed (offline or unknown).
    const CpuTimes* Cpu(std::size_t number) const;
    const CpuTimes* Total() const { return total_.present ? &total_ : nullptr; }
    std::size_t OnlineCpus() const { return onlineCpus_; }
    bool ContextSwitches(std::uint64_t& value) const;
    bool ProcsRunning(std::uint64_t& value) const;
    void ListCpus(std::vector<std::string>& names) const;

    // The node exporter's series of this source (PageFeed).
    std::span<const std::string_view> Series() const override;
    void BeginPage(std::uint64_t collection) override;
    void TakeSample(const ExpositionPage& page, const ExpositionSample& sample) override;
    void EndPage() override;

private:
    bool Parse(std::string_view content);

    ProcFile file_;
    bool valid_ = false;
    CpuTimes total_;
    std::vector<CpuTimes> cpus_;  // by CPU number
    std::size_t onlineCpus_ = 0;
    std::uint64_t contextSwitches_ = 0;
    std::uint64_t procsRunning_ = 0;
    bool hasContextSwitches_ = false;
    bool hasProcsRunning_ = false;
};

const ObjectFamily& ProcessorFamily();

} // namespace quel
