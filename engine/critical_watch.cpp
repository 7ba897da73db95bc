#include "engine/critical_watch.h"

#include "windrose/number_text.h"

#include <algorithm>

namespace quel {

void CriticalWatch::Reset(std::vector<std::string> axisNames)
{
    std::vector<Axis> axes(axisNames.size());
    std::lock_guard guard(lock_);
    for (std::size_t i = 0; i < axes.size(); ++i) {
        if (i < axes_.size() && axes_[i].name == axisNames[i])
            axes[i] = axes_[i];
        axes[i].name = std::move(axisNames[i]);
    }
    axes_ = std::move(axes);
}

void CriticalWatch::Record(std::span<const AxisSample> sample)
{
    std::lock_guard guard(lock_);
    const std::size_t count = std::min(sample.size(), axes_.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (!sample[i].read)
            continue;
        Axis& axis = axes_[i];
        axis.latest = sample[i].critical;
        axis.value = sample[i].current;
        axis.criticalValue = sample[i].criticalValue;
    }
}

void CriticalWatch::TakeDue(std::vector<CriticalChange>& out)
{
    const std::uint32_t now = clock_.TickCount();
    std::lock_guard guard(lock_);
    for (Axis& axis : axes_) {
        // Unsigned difference: right across the tick count's wrap.
        if (axis.latest == axis.told || (axis.everTold && now - axis.toldAt < QuietMilliseconds))
            continue;
        out.push_back(CriticalChange {axis.name, axis.latest, axis.value, axis.criticalValue});
        axis.told = axis.latest;
        axis.everTold = true;
        axis.toldAt = now;
    }
}

std::string DescribeCriticalChange(const CriticalChange& change)
{
    if (!change.critical)
        return change.axisName + " is back to normal";
    return change.axisName + " is critical: " + FormatDiagramValue(change.value) + " (critical value "
           + FormatDiagramValue(change.criticalValue) + ")";
}

} // namespace quel
