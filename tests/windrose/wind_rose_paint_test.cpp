// Painting through the recording surface: frame and rounding, layers, value scaling, labels,
// value texts and their placement, and the restoration of the surface's state.

#include "support/recording_surface.h"
#include "windrose/wind_rose.h"
#include "windrose/wind_rose_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quel {
namespace {

// Exposes the centre and radius that Paint computes.
class ProbeRose : public WindRose {
public:
    using WindRose::WindRose;
    int CenterX() const { return state().centerX; }
    int CenterY() const { return state().centerY; }
    int Radius() const { return state().radius; }
    std::string Label(int axis) const { return state().axes[static_cast<std::size_t>(axis)].label; }
};

void HideTexts(WindRose& rose)
{
    rose.SetShowNames(0);
    rose.SetShowValues(0);
    rose.SetShowNumbers(0);
}

void AddAxes(WindRose& rose, int count, double max = 100, double crit = 80)
{
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(rose.AddAxis("axis" + std::to_string(i), "", 0, 0, max, crit, 1, nullptr), 1);
}

std::vector<Point> SpokeEnds(const RecordingSurface& surface)
{
    std::vector<Point> ends;
    for (const auto& line : surface.Lines())
        ends.push_back(line.to);
    return ends;
}

TEST(WindRosePaint, FourAxesWithoutTexts)
{
    ProbeRose rose;
    HideTexts(rose);
    AddAxes(rose, 4);
    RecordingSurface surface;
    EXPECT_EQ(rose.Paint(surface, Rect {0, 0, 200, 200}), 1);
    EXPECT_EQ(rose.Radius(), 96);
    EXPECT_EQ(SpokeEnds(surface), (std::vector<Point> {{100, 4}, {196, 100}, {100, 196}, {4, 100}}));
    for (const auto& line : surface.Lines())
        EXPECT_EQ(line.from, (Point {100, 100}));
    EXPECT_EQ(surface.ArcRadii(), (std::vector<int> {19, 38, 58, 77, 96, 77})) << "grid, then the critical circle";
    EXPECT_EQ(surface.Arcs()[0].box, (Rect {81, 81, 119, 119}));
    EXPECT_EQ(surface.Count(CallKind::MeasureText), 0u);
    EXPECT_EQ(surface.Count(CallKind::SelectFont), 0u);
}

TEST(WindRosePaint, FrameRoundsHalvesAwayFromZero)
{
    ProbeRose rose;
    HideTexts(rose);
    RecordingSurface surface;
    rose.Paint(surface, Rect {0, 0, 401, 300});
    EXPECT_EQ(rose.CenterX(), 201);
    EXPECT_EQ(rose.CenterY(), 150);
    EXPECT_EQ(rose.Radius(), 146) << "150 less the margin";

    rose.Paint(surface, Rect {10, 0, 5, 100});
    EXPECT_EQ(rose.CenterX(), 7) << "-2.5 rounds to -3";
    EXPECT_EQ(rose.Radius(), 0) << "a rectangle without room gives no radius";
}

TEST(WindRosePaint, ValuePointsRoundHalvesAwayFromZero)
{
    WindRose rose;
    HideTexts(rose);
    rose.SetCriticalBorder(0);
    rose.AddSeries("s", "");
    rose.AddSeries("t", "");
    AddAxes(rose, 4, 100, 0);
    rose.SetValue(0, 2.5, 0);
    rose.SetValue(1, 2.5, 0);
    rose.SetValue(0, -2.5, 1);
    rose.SetValue(1, -2.5, 1);
    RecordingSurface surface;
    rose.Paint(surface, Rect {0, 0, 208, 208});  // R = 100, centre (104, 104)
    ASSERT_EQ(surface.Polylines().size(), 2u);
    const auto& up = surface.Polylines()[0].points;
    EXPECT_EQ(up[0], (Point {104, 101}));
    EXPECT_EQ(up[1], (Point {107, 104}));
    const auto& down = surface.Polylines()[1].points;
    EXPECT_EQ(down[0], (Point {104, 107}));
    EXPECT_EQ(down[1], (Point {101, 104}));
}

// The y of the value point on axis 0 (pointing up) of a 4-axis rose with R = 96, centre 100.
int RadiusOnAxis0(int border, double max, double crit, double value)
{
    WindRose rose;
    HideTexts(rose);
    rose.SetCriticalBorder(border);
    rose.AddSeries("s", "");
    for (int i = 0; i < 4; ++i)
        rose.AddAxis("a", "", 0, 0, max, crit, 1, nullptr);
    rose.SetValue(0, value, 0);
    RecordingSurface surface;
    rose.Paint(surface, Rect {0, 0, 200, 200});
    return 100 - surface.Polylines().at(0).points.at(0).y;
}

TEST(WindRosePaint, CriticalBorderScaling)
{
    EXPECT_EQ(RadiusOnAxis0(80, 100, 80, 90), 86);   // 90 % of 96
    EXPECT_EQ(RadiusOnAxis0(80, 100, 80, 40), 38);   // 40 %
    EXPECT_EQ(RadiusOnAxis0(80, 100, 50, 50), 77);   // 80 %
    EXPECT_EQ(RadiusOnAxis0(80, 100, 50, 75), 86);   // 90 %
    EXPECT_EQ(RadiusOnAxis0(80, 100, 80, 150), 96);  // above the maximum: the outer circle
    EXPECT_EQ(RadiusOnAxis0(80, 100, 80, -40), -38); // no lower bound
    EXPECT_EQ(RadiusOnAxis0(0, 200, 0, 50), 24);     // linear: a quarter
    EXPECT_EQ(RadiusOnAxis0(0, 0, 0, 0.5), 48);      // maximum 0 divides by 1
    EXPECT_EQ(RadiusOnAxis0(80, 80, 80, 90), 96);    // max <= crit divides by 1
    EXPECT_EQ(RadiusOnAxis0(80, 100, 0, 0), 0);      // crit 0 divides by 1
}

TEST(WindRosePaint, PolylinesForOneAndNoAxes)
{
    WindRose rose;
    HideTexts(rose);
    rose.AddSeries("s", "");
    rose.SetCriticalBorder(0);
    RecordingSurface none;
    rose.Paint(none, Rect {0, 0, 200, 200});
    EXPECT_EQ(none.Polylines().size(), 0u);
    EXPECT_EQ(none.Lines().size(), 0u);
    EXPECT_EQ(none.Arcs().size(), 5u) << "the grid is drawn without axes";

    AddAxes(rose, 1);
    rose.SetValue(0, 50, 0);
    RecordingSurface one;
    rose.Paint(one, Rect {0, 0, 200, 200});
    ASSERT_EQ(one.Polylines().size(), 1u);
    EXPECT_EQ(one.Polylines()[0].points, (std::vector<Point> {{100, 52}, {100, 100}}));

    AddAxes(rose, 2);
    RecordingSurface three;
    rose.Paint(three, Rect {0, 0, 200, 200});
    const auto& points = three.Polylines().at(0).points;
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[3], points[0]) << "closed";
}

TEST(WindRosePaint, LayersPensAndRestoration)
{
    WindRose rose;
    rose.AddSeries("a", "");
    rose.AddSeries("hidden", "");
    rose.AddSeries("c", "");
    rose.ShowSeries(1, 0);
    AddAxes(rose, 3);
    const PenDesc axisPen {PenSolid, 1, 0x010101}, ownAxisPen {PenSolid, 2, 0x020202}, gridPen {PenDot, 1, 0x030303},
        critPen {PenSolid, 1, 0x0000FF}, seriesPen {PenSolid, 1, 0x050505}, ownSeriesPen {PenSolid, 2, 0x060606};
    rose.SetAxisPen(axisPen.style, axisPen.width, axisPen.color);
    rose.SetAxisPenAt(1, ownAxisPen.style, ownAxisPen.width, ownAxisPen.color);
    rose.SetGridPen(gridPen.style, gridPen.width, gridPen.color);
    rose.SetCriticalPen(critPen.style, critPen.width, critPen.color);
    rose.SetSeriesPen(seriesPen.style, seriesPen.width, seriesPen.color);
    rose.SetSeriesPenAt(2, ownSeriesPen.style, ownSeriesPen.width, ownSeriesPen.color);
    const FontDesc font {"MS Sans Serif", 12};
    rose.SetFont(&font);
    rose.SetTextColors(0x00FF00, 0x000000);
    rose.SetSeriesTextColors(2, 0x0000FF, NoColor);

    RecordingSurface surface;
    rose.Paint(surface, Rect {0, 0, 600, 400});

    // Layers: spokes and texts, grid circles, critical circle, polylines.
    const auto order = surface.DrawingOrder();
    const auto firstArc = std::find(order.begin(), order.end(), CallKind::Arc);
    const auto firstPolyline = std::find(order.begin(), order.end(), CallKind::Polyline);
    EXPECT_TRUE(std::all_of(order.begin(), firstArc, [](CallKind k) { return k == CallKind::LineTo || k == CallKind::DrawText; }));
    EXPECT_TRUE(std::all_of(firstArc, firstPolyline, [](CallKind k) { return k == CallKind::Arc; }));
    EXPECT_TRUE(std::all_of(firstPolyline, order.end(), [](CallKind k) { return k == CallKind::Polyline; }));

    EXPECT_EQ(surface.Lines()[0].pen, axisPen);
    EXPECT_EQ(surface.Lines()[1].pen, ownAxisPen);
    EXPECT_EQ(surface.Lines()[2].pen, axisPen);
    EXPECT_EQ(surface.Arcs().front().pen, gridPen);
    EXPECT_EQ(surface.Arcs().back().pen, critPen);
    ASSERT_EQ(surface.Polylines().size(), 2u) << "the hidden series draws nothing";
    EXPECT_EQ(surface.Polylines()[0].pen, seriesPen);
    EXPECT_EQ(surface.Polylines()[1].pen, ownSeriesPen);

    for (const auto& text : surface.Texts()) {
        EXPECT_EQ(text.font, font);
        EXPECT_EQ(text.bkColor, 0x000000);
    }
    // Texts of series 2 in its own colour, the others in the model's.
    const auto texts = surface.Texts();
    int own = 0, model = 0;
    for (const auto& text : texts) {
        if (text.textColor == 0x0000FF)
            ++own;
        else if (text.textColor == 0x00FF00)
            ++model;
    }
    EXPECT_EQ(own, 3) << "one value text of series 2 per axis";
    EXPECT_EQ(model, 3 + 3) << "three labels and the value texts of series 0";

    EXPECT_EQ(surface.CurrentPen(), PenDesc {});
    EXPECT_EQ(surface.CurrentFont(), FontDesc {});
    EXPECT_EQ(surface.CurrentTextColor(), RecordingSurface::InitialTextColor);
    EXPECT_EQ(surface.CurrentBkColor(), RecordingSurface::InitialBkColor);
}

TEST(WindRosePaint, LabelPlacementWithoutValues)
{
    ProbeRose rose;
    rose.SetShowValues(0);
    rose.SetLabelTrunc(0);
    const char* names[] = {"A", "BB", "CCC", "DDDD"};
    for (const char* name : names)
        rose.AddAxis(name, "", 0, 0, 100, 80, 1, nullptr);
    RecordingSurface surface(8, 16);  // pad = 16
    rose.Paint(surface, Rect {0, 0, 400, 400});
    EXPECT_EQ(rose.Radius(), 152) << "the left label limits the radius: 200 - (32 + 16)";
    EXPECT_EQ(SpokeEnds(surface), (std::vector<Point> {{200, 48}, {352, 200}, {200, 352}, {48, 200}}));
    EXPECT_EQ(surface.FindText("A")->rect, (Rect {188, 32, 212, 48})) << "above the top spoke, centred";
    EXPECT_EQ(surface.FindText("BB")->rect, (Rect {352, 192, 384, 208})) << "starts at the right spoke end";
    EXPECT_EQ(surface.FindText("CCC")->rect, (Rect {180, 352, 220, 368})) << "below the bottom spoke";
    EXPECT_EQ(surface.FindText("DDDD")->rect, (Rect {0, 192, 48, 208})) << "ends at the left spoke end";
    EXPECT_EQ(surface.FindText("A")->flags, static_cast<unsigned>(TextCenter));
}

TEST(WindRosePaint, ValueRowsBesideTheLabels)
{
    ProbeRose rose;
    rose.SetLabelTrunc(0);
    rose.AddSeries("s0", "");
    rose.AddSeries("s1", "");
    const char* names[] = {"A", "BB", "CCC", "DDDD"};
    for (int i = 0; i < 4; ++i) {
        rose.AddAxis(names[i], "", 0, 0, 100, 80, 1, nullptr);
        rose.SetValue(i, 3.0, 0);
        rose.SetValue(i, 2.5, 1);
    }
    RecordingSurface surface(8, 16);
    rose.Paint(surface, Rect {0, 0, 400, 400});
    // Each row is " 3 " and "2.50 ": 64 wide, which limits the radius to 200 - 64.
    EXPECT_EQ(rose.Radius(), 136);
    std::vector<Rect> rows;
    for (const auto& text : surface.Texts()) {
        if (text.text == " 3 ")
            rows.push_back(text.rect);
    }
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(surface.FindText("A")->rect, (Rect {188, 48, 212, 64}));
    EXPECT_EQ(rows[0], (Rect {168, 32, 192, 48})) << "top: value row above the label";
    EXPECT_EQ(surface.FindText("BB")->rect, (Rect {336, 184, 368, 200})) << "horizontal: label above the level";
    EXPECT_EQ(rows[1], (Rect {336, 200, 360, 216})) << "value row below it";
    EXPECT_EQ(surface.FindText("CCC")->rect, (Rect {180, 336, 220, 352}));
    EXPECT_EQ(rows[2], (Rect {168, 352, 192, 368})) << "bottom: value row below the label";
    EXPECT_EQ(rows[3], (Rect {0, 200, 24, 216})) << "left: row ends at the spoke end";
    EXPECT_EQ(surface.FindText("2.50 ")->rect, (Rect {192, 32, 232, 48})) << "the next text follows on";
    EXPECT_EQ(surface.FindText("2.50 ")->flags, static_cast<unsigned>(TextLeft));
}

std::vector<std::string> AllTexts(const RecordingSurface& surface)
{
    std::vector<std::string> texts;
    for (const auto& text : surface.Texts())
        texts.push_back(text.text);
    return texts;
}

TEST(WindRosePaint, ValueTextFormats)
{
    WindRose rose;
    rose.SetShowNames(0);
    for (int j = 0; j < 4; ++j)
        rose.AddSeries("s", "");
    rose.AddAxis("a", "", 0, 0, 1e12, 1e12, 1, nullptr);
    rose.SetValue(0, 3.0, 0);
    rose.SetValue(0, 2.5, 1);
    rose.SetValue(0, 9, 2);
    rose.SetValueState(0, NoData, 2);
    rose.SetValue(0, -2147483648.0, 3);
    RecordingSurface surface;
    rose.Paint(surface, Rect {0, 0, 300, 300});
    EXPECT_EQ(AllTexts(surface), (std::vector<std::string> {" 3 ", "2.50 ", "N/A ", "-2147483648 "}));

    rose.ShowSeries(0, 0);
    rose.SetValue(0, 3e9, 1);
    rose.SetValue(0, -0.125, 3);
    rose.SetValueState(0, NoData, 0);
    RecordingSurface second;
    rose.Paint(second, Rect {0, 0, 300, 300});
    EXPECT_EQ(AllTexts(second), (std::vector<std::string> {"3000000000.00 ", "N/A ", "-0.12 "}))
        << "the leading blank belongs to series 0, not to the first visible series";
    rose.ShowSeries(0, 1);
    RecordingSurface third;
    rose.Paint(third, Rect {0, 0, 300, 300});
    EXPECT_EQ(third.Texts().front().text, " N/A ");
}

TEST(WindRosePaint, LabelTruncation)
{
    ProbeRose rose;
    rose.SetShowNumbers(1);
    rose.SetShowValues(0);
    for (int i = 0; i < 3; ++i)
        rose.AddAxis(i == 2 ? "Processor Time Total" : "x", "", 0, 0, 1, 1, 1, nullptr);
    RecordingSurface surface(8, 16);           // pad 16
    const Rect rect {0, 0, 640, 640};          // lim = 640 / 16 / 4 = 10
    rose.Paint(surface, rect);
    EXPECT_EQ(rose.Label(2), "3: ...e Total");
    EXPECT_EQ(rose.Label(0), "1: x");
    rose.SetLabelTrunc(1);
    rose.Paint(surface, rect);
    EXPECT_EQ(rose.Label(2), "3: Processor ...");
    rose.SetLabelTrunc(5);
    rose.Paint(surface, rect);
    EXPECT_EQ(rose.Label(2), "3: ") << "an unknown mode keeps the prefix alone";
    rose.SetShowNames(0);
    rose.Paint(surface, rect);
    EXPECT_EQ(rose.Label(2), "3: ");

    rose.SetShowNames(1);
    rose.SetShowNumbers(0);
    rose.SetLabelTrunc(2);
    const std::string longName(60, 'n');
    rose.SetAxisName(2, longName + "END");
    rose.Paint(surface, Rect {0, 0, 4000, 4000});  // lim capped at 48
    EXPECT_EQ(rose.Label(2), "..." + std::string(45, 'n') + "END");
    rose.SetLabelTrunc(0);
    rose.SetShowNumbers(1);
    rose.Paint(surface, rect);
    EXPECT_EQ(rose.Label(2), "3: " + longName + "END") << "a long label is held whole";
    EXPECT_TRUE(surface.FindText("3: " + longName + "END").has_value());
}

TEST(WindRosePaint, NonFiniteAndHugeValuesNeverReachIntConversion)
{
    WindRose rose;
    rose.SetShowNames(0);
    for (int j = 0; j < 4; ++j)
        rose.AddSeries("s", "");
    rose.AddAxis("a", "", 0, 0, 100, 80, 0, nullptr);  // a multiplier of 0, as a file may hold
    rose.AddAxis("b", "", 0, 0, 100, 80, 1, nullptr);
    rose.SetValue(0, 5, 0);      // inf
    rose.SetValue(0, 0, 1);      // nan
    rose.SetValue(0, -5, 2);     // -inf
    rose.SetValue(1, -1e300, 3); // far beyond the int range
    rose.SetValue(1, 1e300, 0);
    RecordingSurface surface;
    ASSERT_EQ(rose.Paint(surface, Rect {0, 0, 200, 200}), 1);
    const auto& polylines = surface.Polylines();
    ASSERT_EQ(polylines.size(), 4u);
    const Point centre {100, 100};
    EXPECT_NE(polylines[0].points[0], centre) << "inf above the maximum lies on the outer circle";
    EXPECT_EQ(polylines[0].points[0].x, 100);
    EXPECT_EQ(polylines[1].points[0], centre) << "nan counts as 0";
    EXPECT_EQ(polylines[2].points[0], centre) << "-inf counts as 0";
    EXPECT_EQ(polylines[3].points[1], centre) << "beyond the int range counts as 0";
    EXPECT_EQ(polylines[0].points[1], (Point {100, 184})) << "1e300 lies on the outer circle";
    std::vector<std::string> axis0;
    for (int k = 0; k < 4; ++k)
        axis0.push_back(surface.Texts()[static_cast<std::size_t>(k)].text);
    EXPECT_EQ(axis0, (std::vector<std::string> {" N/A ", "N/A ", "N/A ", "0 "}));
}

TEST(WindRosePaint, NegativeGridStepFromAFileDrawsNoCircle)
{
    RecordingSurface surface;
    WindRose rose;
    HideTexts(rose);
    rose.SetCriticalBorder(0);
    rose.SetGridStep(30);
    rose.Paint(surface, Rect {0, 0, 200, 200});
    EXPECT_EQ(surface.ArcRadii(), (std::vector<int> {29, 58, 86}));
    // Only a configuration block can bring a negative step.
    const std::string path = ::testing::TempDir() + "/negative-grid.cfg";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fputs("GridStep=-5\r\nCriticalBorder=-20\r\n", file);
    std::fclose(file);
    ASSERT_EQ(rose.LoadFromFile(path), 1);
    std::remove(path.c_str());
    EXPECT_EQ(rose.GetGridStep(), -5);
    RecordingSurface second;
    rose.Paint(second, Rect {0, 0, 200, 200});
    EXPECT_EQ(second.Arcs().size(), 0u);
    rose.SetGridStep(101);
    EXPECT_EQ(rose.GetLastError(), BadPercent);
}

} // namespace
} // namespace quel
