#include "platform/node_exporter_feed.h"

#include "platform/exposition_page.h"
#include "platform/system_snapshot.h"

#include <array>
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
    // Which sources may take a name, by its first letter after "node_": most of a page's names
    // are turned away by that letter alone.
    constexpr std::string_view Node = "node_";
    static_assert(SystemSnapshot::FeedCount <= 64);
    std::array<std::uint64_t, 256> byInitial{};
    for (std::size_t i = 0; i < feeds.size(); ++i) {
        for (const std::string_view series : feeds[i]->Series()) {
            if (series.size() > Node.size() && series.starts_with(Node))
                byInitial[static_cast<unsigned char>(series[Node.size()])] |= std::uint64_t{1} << i;
        }
    }
    // The samples of one metric follow each other: the sources that take a name are looked up
    // once per run of that name.
    std::string_view lastName;
    std::uint64_t takers = 0;
    for (const ExpositionSample& sample : page.Samples()) {
        if (sample.name != lastName) {
            lastName = sample.name;
            takers = 0;
            const std::uint64_t candidates = lastName.size() > Node.size() && lastName.starts_with(Node)
                ? byInitial[static_cast<unsigned char>(lastName[Node.size()])]
                : 0;
            for (std::uint64_t left = candidates; left != 0; left &= left - 1) {
                const auto i = static_cast<std::size_t>(__builtin_ctzll(left));
                if (IsFedSeries(lastName, feeds[i]->Series()))
                    takers |= std::uint64_t{1} << i;
            }
        }
        for (std::uint64_t left = takers; left != 0; left &= left - 1)
            feeds[static_cast<std::size_t>(__builtin_ctzll(left))]->TakeSample(page, sample);
    }
    for (PageFeed* feed : feeds)
        feed->EndPage();
}

} // namespace quel
