#include "platform/service_page.h"

#include "platform/exposition_page.h"
#include "platform/text_scan.h"

#include <algorithm>
#include <cmath>

namespace quel {
namespace {

// Calls visit(parts) for the parsed path of every current-value series.
template <typename Visit>
void ForEachPath(const ExpositionPage& page, Visit visit)
{
    for (const ExpositionSample& sample : page.Samples()) {
        if (sample.name != ServiceCurrentValueMetric)
            continue;
        CounterPath parts;
        if (ParseCounterPath(page.Label(sample, "path"), parts) && !visit(sample, parts))
            return;
    }
}

void AddOnce(std::vector<std::string>& names, std::string_view name)
{
    if (std::find(names.begin(), names.end(), name) == names.end())
        names.emplace_back(name);
}

} // namespace

bool IsServicePage(const ExpositionPage& page)
{
    return page.HasMetric(ServiceCurrentValueMetric);
}

bool SameCounter(const CounterPath& a, const CounterPath& b)
{
    return text::EqualsNoCase(a.object, b.object) && text::EqualsNoCase(a.counter, b.counter)
        && a.hasInstance == b.hasInstance && a.instance == b.instance;
}

PerfStatus ServicePageValue(const ExpositionPage& page, const CounterPath& wanted, double& value)
{
    PerfStatus status = perf_status::NoInstance;
    ForEachPath(page, [&](const ExpositionSample& sample, const CounterPath& parts) {
        if (!SameCounter(parts, wanted))
            return true;
        status = std::isfinite(sample.value) ? perf_status::Ok : perf_status::Unreadable;
        value = sample.value;
        return false;
    });
    return status;
}

void ListServiceObjects(const ExpositionPage& page, std::vector<std::string>& objects)
{
    ForEachPath(page, [&](const ExpositionSample&, const CounterPath& parts) {
        const bool known = std::any_of(objects.begin(), objects.end(),
                                       [&](const std::string& name) { return text::EqualsNoCase(name, parts.object); });
        if (!known)
            objects.emplace_back(parts.object);
        return true;
    });
}

bool ListServiceObjectItems(const ExpositionPage& page, std::string_view object, std::vector<std::string>& counters,
                            std::vector<std::string>& instances)
{
    bool found = false;
    ForEachPath(page, [&](const ExpositionSample&, const CounterPath& parts) {
        if (!text::EqualsNoCase(parts.object, object))
            return true;
        found = true;
        AddOnce(counters, parts.counter);
        if (parts.hasInstance)
            AddOnce(instances, parts.instance);
        return true;
    });
    return found;
}

} // namespace quel
