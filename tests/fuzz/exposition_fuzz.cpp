// The exposition-format parser and the node-exporter feed: an input is a metrics page. It is
// parsed and fed twice (so rates are taken), then every counter reader runs on the result; a
// value that is read must be finite, and no page may make the instance lists grow without end.

#include "fuzz_support.h"
#include "platform/exposition_page.h"
#include "platform/node_exporter_feed.h"
#include "platform/object_catalog.h"
#include "platform/system_snapshot.h"

#include <cmath>
#include <memory>
#include <vector>

namespace quel::fuzz {
namespace {

void ReadEveryCounter(SystemSnapshot& snapshot)
{
    for (const ObjectFamily* family : ObjectCatalog()) {
        std::vector<std::string> instances;
        family->listInstances(snapshot, instances);
        if (instances.size() > 100000)
            Finding("an instance list sized by the page");
        if (!family->hasInstances || instances.empty())
            instances.assign(1, "");
        for (std::size_t counter = 0; counter < family->counters.size(); ++counter) {
            const std::unique_ptr<CounterReader> reader = family->makeReader(counter, instances.front());
            double value = 0.0;
            if (reader->Sample(snapshot, value) == perf_status::Ok && !std::isfinite(value))
                Finding("a value that is not a number");
        }
    }
}

} // namespace
} // namespace quel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quel;
    const std::string text(reinterpret_cast<const char*>(data), size);
    SystemSnapshot snapshot(FedSnapshotOptions());
    ExpositionPage page;
    page.Parse(text);
    NodeExporterFeed::Apply(page, 0, snapshot);
    page.Parse(text);
    NodeExporterFeed::Apply(page, 1'000'000'000, snapshot);
    fuzz::ReadEveryCounter(snapshot);
    return 0;
}
