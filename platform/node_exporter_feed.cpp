#include "platform/node_exporter_feed.h"

#include "platform/exposition_page.h"
#include "platform/system_snapshot.h"

#include <string_view>

namespace quel {

SnapshotOptions FedSnapshotOptions()
{
    // A root below a file can never exist, so even a stray refresh reads nothing.
    SnapshotOptions options;
    options.procRoot = "/dev/null/remote";
    options.sysRoot = "/dev/null/remote";
    return options;
}

void NodeExporterFeed::Fail(std::int64_t timeNs, SystemSnapshot& snapshot)
{
    const std::uint64_t collection = snapshot.StartFedCollection(timeNs);
    for (PageFeed* feed : snapshot.Feeds()) {
        feed->BeginPage(collection);
        feed->EndPage();
    }
}

void NodeExporterFeed::Apply(const ExpositionPage& page, std::int64_t timeNs, SystemSnapshot& snapshot)
{
    const std::uint64_t collection = snapshot.StartFedCollection(timeNs);
    const auto feeds = snapshot.Feeds();
    for (PageFeed* feed : feeds)
        feed->BeginPage(collection);
    // The samples of one metric follow each other: the sources that take a name are looked up
    // once per run of that name.
    std::string_view lastName;
    std::uint64_t takers = 0;
    static_assert(SystemSnapshot::FeedCount <= 64);
    for (const ExpositionSample& sample : page.Samples()) {
        if (sample.name != lastName) {
            lastName = sample.name;
            takers = 0;
            if (lastName.starts_with("node_")) {
                for (std::size_t i = 0; i < feeds.size(); ++i) {
                    if (IsFedSeries(lastName, feeds[i]->Series()))
                        takers |= std::uint64_t{1} << i;
                }
            }
        }
        for (std::uint64_t left = takers; left != 0; left &= left - 1)
            feeds[static_cast<std::size_t>(__builtin_ctzll(left))]->TakeSample(page, sample);
    }
    for (PageFeed* feed : feeds)
        feed->EndPage();
}

} // namespace quel
