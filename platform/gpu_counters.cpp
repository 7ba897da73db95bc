#include "platform/gpu_counters.h"

#include "platform/system_snapshot.h"

#include <array>

namespace quel {
namespace {

constexpr std::array<CounterInfo, 1> EngineCounters = {{
    {"Utilization Percentage", "%",
     "The share of the last moments in which the GPU was busy running work. Cards whose driver is neither "
     "amdgpu nor NVIDIA's fail the read, as do NVIDIA cards without the driver's libnvidia-ml.so.1.",
     "amdgpu: /sys/class/drm/cardN/device/gpu_busy_percent; NVIDIA: NVML nvmlDeviceGetUtilizationRates, gpu",
     "node_drm_gpu_busy_percent{card=\"cardN\"} (drm collector, off by default; amdgpu cards only)"},
}};

constexpr std::array<CounterInfo, 3> MemoryCounters = {{
    {"Dedicated Usage", "bytes", "The bytes of the card's own video memory (VRAM) in use.",
     "amdgpu: /sys/class/drm/cardN/device/mem_info_vram_used; NVIDIA: NVML nvmlDeviceGetMemoryInfo, used",
     "node_drm_memory_vram_used_bytes{card=\"cardN\"} (drm collector, off by default; amdgpu cards only)"},
    {"Dedicated Limit", "bytes", "The bytes of video memory (VRAM) the card has.",
     "amdgpu: /sys/class/drm/cardN/device/mem_info_vram_total; NVIDIA: NVML nvmlDeviceGetMemoryInfo, total",
     "node_drm_memory_vram_size_bytes{card=\"cardN\"} (drm collector, off by default; amdgpu cards only)"},
    {"Shared Usage", "bytes",
     "The bytes of system memory the card has mapped through its translation table (GTT). NVML does not report "
     "it: NVIDIA cards fail the read.",
     "amdgpu: /sys/class/drm/cardN/device/mem_info_gtt_used; NVIDIA: no value",
     "node_drm_memory_gtt_used_bytes{card=\"cardN\"} (drm collector, off by default; amdgpu cards only)"},
}};

// What a counter reads from an amdgpu card and from an NVIDIA one.
enum class NvmlFigure { Utilization, MemoryUsed, MemoryTotal, None };
struct GpuFormula {
    AmdgpuField amdgpu;
    NvmlFigure nvidia;
};
constexpr std::array<GpuFormula, EngineCounters.size()> EngineFormulas = {{
    {AmdgpuField::BusyPercent, NvmlFigure::Utilization},
}};
constexpr std::array<GpuFormula, MemoryCounters.size()> MemoryFormulas = {{
    {AmdgpuField::VramUsed, NvmlFigure::MemoryUsed},
    {AmdgpuField::VramTotal, NvmlFigure::MemoryTotal},
    {AmdgpuField::GttUsed, NvmlFigure::None},
}};

constexpr double MaxPercent = 100.0;

class GpuReader final : public CounterReader {
public:
    GpuReader(const GpuFormula& formula, std::string_view instance) : formula_(formula), instance_(instance) {}

    SourceMask Sources() const override { return sources::DrmCards | sources::Nvml; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        DrmSource& drm = snapshot.Drm();
        const DrmCard* card = drm.Valid() ? drm.Find(instance_) : nullptr;
        if (card == nullptr)
            return drm.Valid() ? perf_status::NoInstance : perf_status::Unreadable;
        if (card->driver == "amdgpu")
            return Amdgpu(drm, value);
        if (card->driver == "nvidia" && card->hasPci)
            return Nvidia(snapshot.Nvml(), card->pci, value);
        // Other drivers (i915, nouveau, virtio) publish no load or memory figures we can read.
        return perf_status::Unreadable;
    }

private:
    PerfStatus Amdgpu(DrmSource& drm, double& value) const
    {
        std::uint64_t raw = 0;
        if (!drm.Amdgpu(instance_, formula_.amdgpu, raw))
            return perf_status::Unreadable;
        if (formula_.amdgpu == AmdgpuField::BusyPercent && static_cast<double>(raw) > MaxPercent)
            return perf_status::Unreadable;
        value = static_cast<double>(raw);
        return perf_status::Ok;
    }

    PerfStatus Nvidia(NvmlSource& nvml, const PciAddress& pci, double& value) const
    {
        switch (formula_.nvidia) {
        case NvmlFigure::Utilization:
            return nvml.Utilization(pci, value);
        case NvmlFigure::MemoryUsed:
            return nvml.MemoryUsed(pci, value);
        case NvmlFigure::MemoryTotal:
            return nvml.MemoryTotal(pci, value);
        case NvmlFigure::None:
            break;
        }
        return perf_status::Unreadable;
    }

    GpuFormula formula_;
    std::string instance_;
};

std::unique_ptr<CounterReader> MakeEngineReader(std::size_t counter, std::string_view instance)
{
    return std::make_unique<GpuReader>(EngineFormulas[counter], instance);
}

std::unique_ptr<CounterReader> MakeMemoryReader(std::size_t counter, std::string_view instance)
{
    return std::make_unique<GpuReader>(MemoryFormulas[counter], instance);
}

void ListCards(SystemSnapshot& snapshot, std::vector<std::string>& instances)
{
    snapshot.Drm().List(instances);
}

} // namespace

const ObjectFamily& GpuEngineFamily()
{
    static constexpr ObjectFamily family{
        "GPU Engine",
        "The graphics cards of /sys/class/drm (cardN): how busy each one is. amdgpu cards are read from sysfs, "
        "NVIDIA cards through the driver's NVML library.",
        EngineCounters, true, sources::DrmCards, MakeEngineReader, ListCards};
    return family;
}

const ObjectFamily& GpuAdapterMemoryFamily()
{
    static constexpr ObjectFamily family{
        "GPU Adapter Memory",
        "The graphics cards of /sys/class/drm (cardN): their video memory and the system memory they map.",
        MemoryCounters, true, sources::DrmCards, MakeMemoryReader, ListCards};
    return family;
}

} // namespace quel
