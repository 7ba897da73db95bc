#pragma once
// Processor (instances 0..N-1 and _Total) from /proc/stat, which also supplies the System
// object's context switches, forks, running and blocked tasks and the number of online CPUs,
// and from /proc/interrupts for the interrupts of each CPU.

#include "platform/object_family.h"
#include "platform/page_feed.h"
#include "platform/proc_file.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quel {

// The fields of a "cpu" line as bits, in their order on the line.
namespace cpu_field {
constexpr std::uint32_t User = 1U << 0;
constexpr std::uint32_t Nice = 1U << 1;
constexpr std::uint32_t System = 1U << 2;
constexpr std::uint32_t Idle = 1U << 3;
constexpr std::uint32_t IoWait = 1U << 4;
constexpr std::uint32_t Irq = 1U << 5;
constexpr std::uint32_t SoftIrq = 1U << 6;
constexpr std::uint32_t Steal = 1U << 7;
constexpr std::uint32_t Guest = 1U << 8;
constexpr std::uint32_t GuestNice = 1U << 9;
} // namespace cpu_field

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
    std::uint64_t guest = 0;
    std::uint64_t guestNice = 0;
    // The cpu_field bits of the fields the line (or page) gave; older kernels give fewer.
    std::uint32_t known = 0;
    bool present = false;

    // Guest time is not added: user and nice hold it already.
    std::uint64_t Total() const { return user + nice + system + idle + iowait + irq + softirq + steal; }
    bool Knows(std::uint32_t fields) const { return (known & fields) == fields; }
};

// The one-number lines of /proc/stat that counters use.
enum class StatLine { ContextSwitches, Interrupts, Forks, ProcsRunning, ProcsBlocked };
inline constexpr std::size_t StatLineCount = 5;

class StatSource final : public PageFeed {
public:
    explicit StatSource(const std::string& procRoot);
    bool Refresh();
    // /proc/interrupts, only for the interrupts of each CPU: a machine with many CPUs and
    // devices makes it far larger than /proc/stat.
    void RefreshInterrupts();
    bool Valid() const { return valid_; }

    // Null when the CPU is not listed (offline or unknown).
    const CpuTimes* Cpu(std::size_t number) const;
    const CpuTimes* Total() const { return total_.present ? &total_ : nullptr; }
    std::size_t OnlineCpus() const { return onlineCpus_; }
    bool Line(StatLine line, std::uint64_t& value) const;
    // Whether the interrupts of each CPU are known at all, and those of one CPU (false when the
    // CPU is not listed).
    bool InterruptsValid() const { return interruptsValid_; }
    bool CpuInterrupts(std::size_t number, std::uint64_t& count) const;
    void ListCpus(std::vector<std::string>& names) const;

    // The node exporter's series of this source (PageFeed).
    std::span<const std::string_view> Series() const override;
    void BeginPage(std::uint64_t collection) override;
    void TakeSample(const ExpositionPage& page, const ExpositionSample& sample) override;
    void EndPage() override;

private:
    bool Parse(std::string_view content);
    bool ParseInterrupts(std::string_view content);
    void ClearInterrupts();
    void AddInterrupts(std::size_t number, std::uint64_t count);

    ProcFile file_;
    ProcFile interruptsFile_;
    bool valid_ = false;
    CpuTimes total_;
    std::vector<CpuTimes> cpus_;  // by CPU number
    std::size_t onlineCpus_ = 0;
    std::array<std::uint64_t, StatLineCount> lines_{};
    std::array<bool, StatLineCount> hasLine_{};
    // Interrupts by CPU number: the sum of the CPU's column over every row that has one.
    struct CpuInterruptCount {
        std::uint64_t count = 0;
        bool present = false;
        bool overflowed = false;  // only a corrupted file sums beyond 64 bits
    };
    std::vector<CpuInterruptCount> interrupts_;
    std::vector<std::size_t> interruptColumns_;  // the CPU number of each column
    bool interruptsValid_ = false;
};

const ObjectFamily& ProcessorFamily();

} // namespace quel
