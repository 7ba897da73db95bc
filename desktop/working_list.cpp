#include "desktop/working_list.h"

#include "desktop/dialog_texts.h"
#include "desktop/field_exchange.h"
#include "engine/counter_monitor.h"
#include "platform/counter_path.h"

#include <algorithm>

namespace quel::desktop {

WorkingList ReadWorkingList(const CounterMonitor& monitor)
{
    WindRoseLock guard(monitor);
    WorkingList list;
    for (int i = 0; i < monitor.GetAxisCount(); ++i) {
        CounterEntry entry;
        monitor.GetCounterPath(i, entry.path);
        std::optional<std::string> name, desc;
        monitor.GetAxisName(i, name);
        monitor.GetAxisDesc(i, desc);
        entry.label = desc && !desc->empty() ? *desc : name.value_or(std::string());
        monitor.GetAxisMin(i, entry.min);
        monitor.GetAxisMax(i, entry.max);
        monitor.GetAxisCritical(i, entry.critical);
        monitor.GetAxisMultiplier(i, entry.scale);
        monitor.GetAxisInverse(i, entry.inverse);
        list.push_back(std::move(entry));
    }
    return list;
}

CounterEntry NewCounterEntry(const std::string& path)
{
    CounterEntry entry;
    entry.path = path;
    entry.label = path;
    return entry;
}

std::string CounterListLine(std::size_t index, const std::string& path)
{
    return std::to_string(index + 1) + ". " + path;
}

std::optional<AxisFieldError> ReadAxisFields(const AxisFieldTexts& texts, CounterEntry& entry)
{
    double min = 0, max = 0, critical = 0, scale = 0;
    if (!ReadNumber(texts.min, min))
        return AxisFieldError {AxisField::Min, text::EnterNumber};
    if (min < 0)
        return AxisFieldError {AxisField::Min, text::PositiveRange};
    if (!ReadNumber(texts.max, max))
        return AxisFieldError {AxisField::Max, text::EnterNumber};
    if (max < 0)
        return AxisFieldError {AxisField::Max, text::PositiveRange};
    if (max < min)
        return AxisFieldError {AxisField::Max, text::MaxAboveMin};
    if (!ReadNumber(texts.critical, critical))
        return AxisFieldError {AxisField::Critical, text::EnterNumber};
    if (critical < 0)
        return AxisFieldError {AxisField::Critical, text::PositiveRange};
    if (critical < min || critical > max)
        return AxisFieldError {AxisField::Critical, text::CriticalBetween};
    if (!ReadNumber(texts.scale, scale))
        return AxisFieldError {AxisField::Scale, text::EnterNumber};
    // Values are divided by the scale: 0 would turn every value into infinity.
    if (scale <= 0)
        return AxisFieldError {AxisField::Scale, text::PositiveRange};
    entry.label = texts.label;
    entry.min = min;
    entry.max = max;
    entry.critical = critical;
    entry.scale = scale;
    return std::nullopt;
}

void ApplyAxisBounds(WindRose& rose, int axis, double min, double max, double critical)
{
    WindRoseLock guard(rose);
    double oldMin = 0, oldMax = 0;
    if (!rose.GetAxisMin(axis, oldMin) || !rose.GetAxisMax(axis, oldMax))
        return;
    rose.SetAxisMin(axis, std::min(min, oldMin));
    rose.SetAxisMax(axis, std::max(max, oldMax));
    rose.SetAxisCritical(axis, critical);
    rose.SetAxisMin(axis, min);
    rose.SetAxisMax(axis, max);
}

bool IsCounterPath(std::string_view path)
{
    CounterPath parts;
    return ParseCounterPath(path, parts);
}

} // namespace quel::desktop
