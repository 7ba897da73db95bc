// The square's size and places, and the seconds it keeps them.

#include "saver/diagram_placement.h"
#include "saver/saver_scene.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace quel::saver {
namespace {

// Hands out the given numbers in turn, then 0.
RandomSource Numbers(std::deque<unsigned> numbers)
{
    return [numbers]() mutable {
        if (numbers.empty())
            return 0u;
        const unsigned value = numbers.front();
        numbers.pop_front();
        return value;
    };
}

TEST(PlaceDiagram, FortyPercentOfA1024x768ScreenIsCentred)
{
    const DiagramPlacement p = PlaceDiagram(1024, 768, 40);
    EXPECT_EQ(p.side, 484);
    EXPECT_EQ(p.rangeX, 540);
    EXPECT_EQ(p.rangeY, 284);
    EXPECT_EQ(p.rect, (Rect {270, 142, 754, 626}));
    EXPECT_FALSE(p.compact);
}

TEST(PlaceDiagram, WholeAndSmallestShares)
{
    const DiagramPlacement whole = PlaceDiagram(1024, 768, 100);
    EXPECT_EQ(whole.side, 767);
    EXPECT_EQ(whole.rangeY, 1);
    EXPECT_EQ(PlaceDiagram(1024, 768, 1).side, 75);
}

TEST(PlaceDiagram, APreviewWindowIsCompact)
{
    const DiagramPlacement p = PlaceDiagram(152, 112, 40);
    EXPECT_EQ(p.side, 69);
    EXPECT_EQ(p.rect, (Rect {41, 21, 110, 90}));
    EXPECT_TRUE(p.compact);
    EXPECT_FALSE(PlaceDiagram(400, 300, 40).compact);
}

TEST(PlaceDiagram, SharesOutsideThePercentRangeStillFitTheWindow)
{
    for (int area : {-50, 0, 101, 250, 1 << 30}) {
        const DiagramPlacement p = PlaceDiagram(1024, 768, area);
        EXPECT_GE(p.side, 0) << area;
        EXPECT_GT(p.rangeX, 0) << area;
        EXPECT_GT(p.rangeY, 0) << area;
    }
    EXPECT_EQ(PlaceDiagram(1024, 768, 250).side, 767);
}

TEST(MoveDiagram, TopFromTheFirstNumberLeftFromTheSecond)
{
    DiagramPlacement p = PlaceDiagram(1024, 768, 40);
    MoveDiagram(p, Numbers({300, 541}));
    EXPECT_EQ(p.rect, (Rect {1, 16, 485, 500}));
}

TEST(MoveDiagram, TheSquareStaysInsideTheWindow)
{
    const struct {
        int width, height, area;
    } cases[] = {{1024, 768, 40}, {1024, 768, 100}, {152, 112, 40}, {1, 1, 40}, {0, 0, 40}};
    for (const auto& c : cases) {
        DiagramPlacement p = PlaceDiagram(c.width, c.height, c.area);
        for (unsigned n : {0u, 1u, 283u, 539u, 4'000'000'000u}) {
            MoveDiagram(p, Numbers({n, n}));
            EXPECT_GE(p.rect.left, 0);
            EXPECT_GE(p.rect.top, 0);
            EXPECT_LE(p.rect.right, std::max(c.width, 0));
            EXPECT_LE(p.rect.bottom, std::max(c.height, 0));
        }
    }
    DiagramPlacement whole = PlaceDiagram(1024, 768, 100);
    MoveDiagram(whole, Numbers({12345, 200}));
    EXPECT_EQ(whole.rect.top, 0);  // only sideways
    EXPECT_EQ(whole.rect.left, 200);
}

// The visible and blank seconds of a scene over its first ticks.
std::vector<bool> VisibleSeconds(SaverScene& scene, int ticks, std::vector<int>& moves)
{
    std::vector<bool> visible;
    Rect last = scene.DiagramRect();
    for (int second = 1; second <= ticks; ++second) {
        scene.Tick();
        visible.push_back(scene.DiagramVisible());
        if (!(scene.DiagramRect() == last))
            moves.push_back(second);
        last = scene.DiagramRect();
    }
    return visible;
}

TEST(SaverScene, CentreHeldTimeoutPlusOneSecondsThenEachPlaceTimeoutSeconds)
{
    SaverScene scene(1024, 768, 40, 20, Numbers({10, 20, 30, 40, 50, 60}));
    std::vector<int> moves;
    const std::vector<bool> visible = VisibleSeconds(scene, 63, moves);
    EXPECT_EQ(moves, (std::vector<int> {21, 42, 63}));
    for (int second = 1; second <= 63; ++second) {
        const bool blank = second == 21 || second == 42 || second == 63;
        EXPECT_EQ(visible[second - 1], !blank) << "second " << second;
    }
}

TEST(SaverScene, TickAsksForARepaintOnlyWhenTheWindowChanges)
{
    SaverScene scene(1024, 768, 40, 2, Numbers({1, 1, 2, 2}));
    std::vector<bool> repaints;
    for (int i = 0; i < 7; ++i)
        repaints.push_back(scene.Tick());
    EXPECT_EQ(repaints, (std::vector<bool> {false, false, true, true, false, true, true}));
}

TEST(SaverScene, ATimeoutBelowOneNeverLeavesTheScreenBlank)
{
    for (int timeout : {0, -5}) {
        SaverScene scene(1024, 768, 40, timeout, Numbers({}));
        int visibleTicks = 0;
        for (int i = 0; i < 10; ++i) {
            scene.Tick();
            visibleTicks += scene.DiagramVisible() ? 1 : 0;
        }
        EXPECT_GE(visibleTicks, 4) << timeout;
    }
}

TEST(SaverScene, AResizePlacesTheSquareAfreshInTheCentre)
{
    SaverScene scene(0, 0, 40, 20, Numbers({}));
    scene.Resize(1024, 768);
    EXPECT_EQ(scene.DiagramRect(), (Rect {270, 142, 754, 626}));
}

} // namespace
} // namespace quel::saver
