// One thread paints while another writes values and replaces axes: every access goes through
// the model's lock, so each paint sees a whole model.

#include "support/recording_surface.h"
#include "windrose/wind_rose.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace quel {
namespace {

TEST(WindRoseThreading, PaintWhileValuesAndAxesChange)
{
    WindRose rose;
    rose.AddSeries("Max Values", "");
    rose.AddSeries("Historical Values", "");
    rose.AddSeries("Current Values", "");
    for (int i = 0; i < 8; ++i)
        rose.AddAxis("axis " + std::to_string(i), "", 0, 0, 100, 80, 1, nullptr);

    std::atomic<bool> stop {false};
    std::atomic<int> paints {0};
    std::thread writer([&] {
        for (int round = 0; round < 300; ++round) {
            // Every 50 rounds a paint has to finish first, so that painting really overlaps
            // the changes (however the two threads are scheduled).
            if (round % 50 == 0) {
                const int before = paints;
                while (paints == before)
                    std::this_thread::yield();
            }
            for (int i = 0; i < rose.GetAxisCount(); ++i) {
                for (int j = 0; j < 3; ++j)
                    rose.SetValue(i, (round * 7 + i * 13 + j) % 120, j);
            }
            WindRoseLock lock(rose);  // a group of operations made atomic
            if (round % 3 == 0 && rose.GetAxisCount() > 1)
                rose.RemoveAxis(round % rose.GetAxisCount());
            else
                rose.AddAxis("added", "", 0, 0, 100, 80, 1, nullptr);
        }
        stop = true;
    });

    bool consistent = true;
    std::set<std::size_t> spokeCounts;
    while (!stop) {
        RecordingSurface surface;
        rose.Paint(surface, Rect {0, 0, 640, 480});
        // Every paint draws one spoke per axis and closes every polyline.
        for (const auto& polyline : surface.Polylines())
            consistent = consistent && polyline.points.size() == surface.Lines().size() + 1;
        spokeCounts.insert(surface.Lines().size());
        ++paints;
    }
    writer.join();
    EXPECT_TRUE(consistent);
    // The paints saw the model before and after axes were added and removed.
    EXPECT_GE(spokeCounts.size(), 2u);
}

} // namespace
} // namespace quel
