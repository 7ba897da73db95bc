// Pages of another instance of our service, as the remote provider reads them: an input is a
// metrics page. Every object it lists has counters, every series it holds is found again by its
// own path, and a value that is read is finite.

#include "fuzz_support.h"
#include "platform/counter_path.h"
#include "platform/exposition_page.h"
#include "platform/service_page.h"

#include <cmath>
#include <string>
#include <vector>

namespace quel::fuzz {
namespace {

// Enough series to reach every branch; the lookups are linear, so more only cost time.
constexpr std::size_t MaxLookups = 64;

void CheckObjects(const ExpositionPage& page)
{
    std::vector<std::string> objects;
    ListServiceObjects(page, objects);
    if (objects.size() > page.Samples().size())
        Finding("more objects than series");
    for (const std::string& object : objects) {
        std::vector<std::string> counters;
        std::vector<std::string> instances;
        if (!ListServiceObjectItems(page, object, counters, instances) || counters.empty())
            Finding("a listed object without counters");
    }
}

void CheckValues(const ExpositionPage& page)
{
    std::size_t lookups = 0;
    for (const ExpositionSample& sample : page.Samples()) {
        CounterPath parts;
        if (sample.name != ServiceCurrentValueMetric || !ParseCounterPath(page.Label(sample, "path"), parts))
            continue;
        if (++lookups > MaxLookups)
            return;
        double value = 0.0;
        const PerfStatus status = ServicePageValue(page, parts, value);
        if (status == perf_status::NoInstance)
            Finding("a series not found by its own path");
        if (status == perf_status::Ok && !std::isfinite(value))
            Finding("a value that is not a number");
    }
}

} // namespace
} // namespace quel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quel;
    ExpositionPage page;
    page.Parse(std::string(reinterpret_cast<const char*>(data), size));
    if (!IsServicePage(page))
        return 0;
    fuzz::CheckObjects(page);
    fuzz::CheckValues(page);
    return 0;
}
