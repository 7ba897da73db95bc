// The model's operations: error codes, the modified flag, value scaling and the invariants.

#include "windrose/wind_rose.h"

#include <gtest/gtest.h>

#include <vector>

namespace quel {
namespace {

// Axis data that counts how it is let go of.
struct Tag final : AxisData {
    explicit Tag(int id) : id(id) {}
    int id;
};

class CountingRose : public WindRose {
public:
    using WindRose::WindRose;
    void FreeAxisData(AxisDataPtr data) override
    {
        if (data)
            freed.push_back(static_cast<Tag&>(*data).id);
    }
    std::vector<int> freed;
};

int AddPlain(WindRose& rose, const char* name, double min = 0, double max = 100, double crit = 80, double mult = 1)
{
    return rose.AddAxis(name, "", 0, min, max, crit, mult, nullptr);
}

double Value(const WindRose& rose, int axis, int series)
{
    double v = -12345;
    EXPECT_EQ(rose.GetValue(axis, v, series), 1);
    return v;
}

int State(const WindRose& rose, int axis, int series)
{
    int s = -1;
    EXPECT_EQ(rose.GetValueState(axis, s, series), 1);
    return s;
}

TEST(WindRoseModel, InitialStateAndConstructorDefaults)
{
    WindRose rose;
    EXPECT_EQ(rose.GetLastError(), Ok);
    EXPECT_EQ(rose.IsModified(), 0);
    EXPECT_EQ(rose.GetAxisCount(), 0);
    EXPECT_EQ(rose.GetSeriesCount(), 0);
    EXPECT_EQ(rose.GetAxisCapacity(), 32);
    EXPECT_EQ(rose.GetSeriesCapacity(), 4);
    EXPECT_EQ(rose.GetGridStep(), 20);
    EXPECT_EQ(rose.GetCriticalBorder(), 80);
    EXPECT_EQ(rose.GetShowNames(), 1);
    EXPECT_EQ(rose.GetShowValues(), 1);
    EXPECT_EQ(rose.GetShowNumbers(), 0);
    EXPECT_EQ(rose.GetLabelTrunc(), 2);

    WindRose defaulted(-1, 2);
    EXPECT_EQ(defaulted.GetAxisCapacity(), 32);
    EXPECT_EQ(defaulted.GetSeriesCapacity(), 2);
    EXPECT_EQ(defaulted.GetLastError(), BadIndex);
    WindRose defaultedSeries(3, -7);
    EXPECT_EQ(defaultedSeries.GetSeriesCapacity(), 4);
    EXPECT_EQ(defaultedSeries.GetLastError(), BadIndex);
}

TEST(WindRoseModel, AddAxisChecksInOrder)
{
    WindRose rose(1, 1);
    EXPECT_EQ(rose.AddAxis(std::nullopt, "d", 0, 5, 1, 3, 1, nullptr), 0);
    EXPECT_EQ(rose.GetLastError(), BadRange) << "bounds are checked before the strings";
    EXPECT_EQ(rose.AddAxis("a", "d", 0, 0, 10, 11, 1, nullptr), 0);
    EXPECT_EQ(rose.GetLastError(), BadRange);
    EXPECT_EQ(rose.AddAxis("a", "d", 0, 5, 10, 4, 1, nullptr), 0);
    EXPECT_EQ(rose.GetLastError(), BadRange);
    EXPECT_EQ(rose.AddAxis("a", std::nullopt, 0, 0, 10, 5, 1, nullptr), 0);
    EXPECT_EQ(rose.GetLastError(), NullArgument);
    EXPECT_EQ(rose.GetAxisCount(), 0);
    EXPECT_EQ(rose.IsModified(), 0);

    EXPECT_EQ(rose.AddAxis("a", "d", 0, 5, 10, 10, 0, nullptr), 1) << "critical may equal max; multiplier untested";
    EXPECT_EQ(rose.GetLastError(), Ok);
    EXPECT_EQ(rose.IsModified(), 1);
    EXPECT_EQ(rose.AddAxis(std::nullopt, std::nullopt, 0, 5, 1, 3, 1, nullptr), 0);
    EXPECT_EQ(rose.GetLastError(), TableFull) << "a full table is reported first";
}

TEST(WindRoseModel, ThirtyThirdAxisIsRefused)
{
    WindRose rose;
    for (int i = 0; i < 32; ++i)
        ASSERT_EQ(AddPlain(rose, "x", 0, 10, 0), 1) << "critical equal to min";
    EXPECT_EQ(AddPlain(rose, "x"), 0);
    EXPECT_EQ(rose.GetLastError(), TableFull);
    EXPECT_EQ(rose.GetAxisCount(), 32);
}

TEST(WindRoseModel, GettersWriteOutParametersOnlyOnSuccess)
{
    WindRose rose;
    ASSERT_EQ(rose.AddAxis("Name", "Desc", 1, 1, 9, 5, 2, nullptr), 1);
    double v = 42;
    EXPECT_EQ(rose.GetAxisMax(1, v), 0);
    EXPECT_EQ(rose.GetLastError(), BadIndex);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(rose.GetAxisMax(0, v), 1);
    EXPECT_EQ(v, 9);
    EXPECT_EQ(rose.GetLastError(), Ok);
    std::optional<std::string> text = "keep";
    EXPECT_EQ(rose.GetAxisName(-1, text), 0);
    EXPECT_EQ(text, "keep");
    EXPECT_EQ(rose.GetAxisDesc(0, text), 1);
    EXPECT_EQ(text, "Desc");
    std::uint8_t inverse = 7;
    EXPECT_EQ(rose.GetAxisInverse(0, inverse), 1);
    EXPECT_EQ(inverse, 1);
    int state = 9;
    EXPECT_EQ(rose.GetValueState(0, state, 0), 0) << "no series yet";
    EXPECT_EQ(state, 9);
    EXPECT_EQ(rose.GetValue(0, v, 0), 0);
    EXPECT_EQ(rose.GetLastError(), BadIndex);
}

TEST(WindRoseModel, BoundSettersKeepTheOrder)
{
    WindRose rose;
    ASSERT_EQ(AddPlain(rose, "a", 10, 100, 50), 1);
    rose.SetModified(0);
    EXPECT_EQ(rose.SetAxisMin(0, 60), 0);
    EXPECT_EQ(rose.GetLastError(), BadRange);
    EXPECT_EQ(rose.SetAxisMax(0, 40), 0);
    EXPECT_EQ(rose.SetAxisCritical(0, 101), 0);
    EXPECT_EQ(rose.SetAxisCritical(0, 9), 0);
    EXPECT_EQ(rose.SetAxisMultiplier(0, 0.0), 0);
    EXPECT_EQ(rose.IsModified(), 0);

    EXPECT_EQ(rose.SetAxisMin(0, 10), 1) << "an equal value is a success without change";
    EXPECT_EQ(rose.SetAxisCritical(0, 50), 1);
    EXPECT_EQ(rose.IsModified(), 0);
    EXPECT_EQ(rose.SetAxisMax(0, 200), 1);
    EXPECT_EQ(rose.IsModified(), 1);
    EXPECT_EQ(rose.SetAxisMultiplier(0, 1024), 1);
    double v = 0;
    rose.GetAxisMultiplier(0, v);
    EXPECT_EQ(v, 1024);
    EXPECT_EQ(rose.SetAxisMin(3, 0), 0);
    EXPECT_EQ(rose.GetLastError(), BadIndex);
}

TEST(WindRoseModel, TextsAreCopiedAndEqualTextChangesNothing)
{
    WindRose rose;
    std::string name = "Disk";
    ASSERT_EQ(rose.AddAxis(name, "desc", 0, 0, 1, 1, 1, nullptr), 1);
    name = "changed";
    rose.SetModified(0);
    EXPECT_EQ(rose.SetAxisName(0, "Disk"), 1);
    EXPECT_EQ(rose.IsModified(), 0);
    EXPECT_EQ(rose.SetAxisName(0, std::nullopt), 0);
    EXPECT_EQ(rose.GetLastError(), NullArgument);
    EXPECT_EQ(rose.SetAxisDesc(0, "other"), 1);
    EXPECT_EQ(rose.IsModified(), 1);
    std::optional<std::string> text;
    rose.GetAxisName(0, text);
    EXPECT_EQ(text, "Disk");
}

TEST(WindRoseModel, SeriesOperations)
{
    WindRose rose(32, 2);
    EXPECT_EQ(rose.AddSeries(std::nullopt, "d"), 0);
    EXPECT_EQ(rose.GetLastError(), NullArgument);
    ASSERT_EQ(rose.AddSeries("Max Values", ""), 1);
    ASSERT_EQ(rose.AddSeries("Current Values", ""), 1);
    EXPECT_EQ(rose.AddSeries("x", "y"), 0);
    EXPECT_EQ(rose.GetLastError(), TableFull);

    rose.SetModified(0);
    EXPECT_EQ(rose.ShowSeries(1, 0), 1);
    EXPECT_EQ(rose.IsModified(), 0) << "visibility never raises the modified flag";
    int visible = -1;
    EXPECT_EQ(rose.GetSeriesVisible(1, visible), 1);
    EXPECT_EQ(visible, 0);
    EXPECT_EQ(rose.ShowSeries(2, 0), 0);
    EXPECT_EQ(rose.GetLastError(), BadIndex);

    // Series added before the axis still have a cell for it.
    ASSERT_EQ(AddPlain(rose, "a"), 1);
    EXPECT_EQ(rose.SetValue(0, 5, 1), 1);

    EXPECT_EQ(rose.RemoveSeries(0), 1);
    EXPECT_EQ(rose.GetSeriesCount(), 1);
    std::optional<std::string> name;
    rose.GetSeriesName(0, name);
    EXPECT_EQ(name, "Current Values");
    EXPECT_EQ(Value(rose, 0, 0), 5) << "values move with their series";
    rose.GetSeriesVisible(0, visible);
    EXPECT_EQ(visible, 0);

    EXPECT_EQ(rose.RemoveAllSeries(), 1);
    EXPECT_EQ(rose.GetSeriesCount(), 0);
    EXPECT_EQ(rose.GetLastError(), Ok);
    ASSERT_EQ(rose.AddSeries("again", ""), 1);
    EXPECT_EQ(Value(rose, 0, 0), 0.0) << "a new series starts with zeroed cells";
}

TEST(WindRoseModel, SetValueDividesAndMarksCritical)
{
    WindRose rose;
    rose.AddSeries("s", "");
    ASSERT_EQ(AddPlain(rose, "mem", 0, 100, 80, 1024), 1);
    rose.SetModified(0);
    EXPECT_EQ(rose.SetValue(0, 2048, 0), 1);
    EXPECT_EQ(Value(rose, 0, 0), 2.0);
    EXPECT_EQ(State(rose, 0, 0), Normal);
    EXPECT_EQ(rose.SetValue(0, 80 * 1024, 0), 1);
    EXPECT_EQ(State(rose, 0, 0), Normal) << "critical means strictly above";
    EXPECT_EQ(rose.SetValue(0, 81 * 1024, 0), 1);
    EXPECT_EQ(State(rose, 0, 0), Critical);
    EXPECT_EQ(rose.IsModified(), 0) << "values never raise the modified flag";
    EXPECT_EQ(rose.SetValue(1, 1, 0), 0);
    EXPECT_EQ(rose.SetValue(0, 1, 1), 0);
    EXPECT_EQ(rose.GetLastError(), BadIndex);
}

TEST(WindRoseModel, InverseAxisStoresMaxMinusValue)
{
    WindRose rose;
    rose.AddSeries("s", "");
    ASSERT_EQ(rose.AddAxis("free", "", 1, 0, 100, 80, 1, nullptr), 1);
    const struct {
        double in, stored;
        int state;
    } cases[] = {{30, 70, Normal}, {15, 85, Critical}, {20, 80, Normal}, {100, 0, Normal}, {150, 0, Normal}};
    for (const auto& c : cases) {
        rose.SetValue(0, c.in, 0);
        EXPECT_EQ(Value(rose, 0, 0), c.stored) << c.in;
        EXPECT_EQ(State(rose, 0, 0), c.state) << c.in;
    }
}

TEST(WindRoseModel, SetValueStateOverridesAndClearsInverseValues)
{
    WindRose rose;
    rose.AddSeries("s", "");
    AddPlain(rose, "normal");
    rose.AddAxis("inverse", "", 1, 0, 100, 80, 1, nullptr);
    rose.SetValue(0, 30, 0);
    rose.SetValue(1, 30, 0);
    EXPECT_EQ(rose.SetValueState(0, NoData, 0), 1);
    EXPECT_EQ(rose.SetValueState(1, NoData, 0), 1);
    EXPECT_EQ(Value(rose, 0, 0), 30);
    EXPECT_EQ(Value(rose, 1, 0), 0.0);
    EXPECT_EQ(State(rose, 1, 0), NoData);
    EXPECT_EQ(rose.SetValueState(0, 17, 0), 1) << "any state is stored";
    EXPECT_EQ(State(rose, 0, 0), 17);
    rose.SetValue(0, 30, 0);
    EXPECT_EQ(State(rose, 0, 0), Normal) << "SetValue overwrites NoData";
}

TEST(WindRoseModel, SetAxisInverseReexpressesValues)
{
    WindRose rose;
    rose.AddSeries("a", "");
    rose.AddSeries("b", "");
    rose.AddSeries("c", "");
    AddPlain(rose, "x");
    rose.SetValue(0, 30, 0);
    rose.SetValue(0, 120, 1);
    rose.SetValue(0, 40, 2);
    rose.SetValueState(0, NoData, 2);
    rose.SetModified(0);
    EXPECT_EQ(rose.SetAxisInverse(0, 0), 1);
    EXPECT_EQ(rose.IsModified(), 0) << "the same flag changes nothing";
    EXPECT_EQ(rose.SetAxisInverse(0, 1), 1);
    EXPECT_EQ(rose.IsModified(), 1);
    EXPECT_EQ(Value(rose, 0, 0), 70);
    EXPECT_EQ(Value(rose, 0, 1), 0.0) << "a value not below max becomes 0";
    EXPECT_EQ(Value(rose, 0, 2), 0.0) << "a NoData cell becomes 0";
    EXPECT_EQ(State(rose, 0, 1), Critical) << "states are not recomputed";
    EXPECT_EQ(rose.SetAxisInverse(0, 0), 1);
    EXPECT_EQ(Value(rose, 0, 0), 30) << "applying twice restores values inside (0, max)";
}

TEST(WindRoseModel, RemoveAxisMovesSlotsAndCells)
{
    CountingRose rose;
    rose.AddSeries("a", "");
    rose.AddSeries("b", "");
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(rose.AddAxis("axis" + std::to_string(i), "", 0, 0, 100, 50, 1, std::make_unique<Tag>(i)), 1);
        rose.SetValue(i, 10.0 * (i + 1), 0);
        rose.SetValue(i, 60.0 + i, 1);
    }
    rose.SetModified(0);
    EXPECT_EQ(rose.RemoveAxis(3), 0);
    EXPECT_EQ(rose.GetLastError(), BadIndex);
    EXPECT_EQ(rose.RemoveAxis(0), 1);
    EXPECT_EQ(rose.freed, std::vector<int>({0}));
    EXPECT_EQ(rose.IsModified(), 1);
    ASSERT_EQ(rose.GetAxisCount(), 2);
    std::optional<std::string> name;
    rose.GetAxisName(0, name);
    EXPECT_EQ(name, "axis1");
    EXPECT_EQ(Value(rose, 0, 0), 20);
    EXPECT_EQ(Value(rose, 1, 1), 62);
    EXPECT_EQ(State(rose, 1, 1), Critical);
    const AxisData* data = nullptr;
    rose.GetAxisData(1, data);
    EXPECT_EQ(static_cast<const Tag*>(data)->id, 2);

    // The freed last slot and its cells read as new.
    ASSERT_EQ(AddPlain(rose, "new"), 1);
    EXPECT_EQ(Value(rose, 2, 0), 0.0);
    EXPECT_EQ(State(rose, 2, 1), Normal);
    rose.GetAxisData(2, data);
    EXPECT_EQ(data, nullptr);

    EXPECT_EQ(rose.RemoveAllAxes(), 1);
    EXPECT_EQ(rose.freed, std::vector<int>({0, 1, 2}));
    EXPECT_EQ(rose.GetAxisCount(), 0);
    ASSERT_EQ(AddPlain(rose, "after"), 1);
    EXPECT_EQ(Value(rose, 0, 1), 0.0);
}

TEST(WindRoseModel, SetAxisDataFreesTheOldData)
{
    CountingRose rose;
    rose.AddAxis("a", "", 0, 0, 1, 1, 1, std::make_unique<Tag>(1));
    rose.SetModified(0);
    EXPECT_EQ(rose.SetAxisData(0, std::make_unique<Tag>(2)), 1);
    EXPECT_EQ(rose.freed, std::vector<int>({1}));
    EXPECT_EQ(rose.IsModified(), 1);
    EXPECT_EQ(rose.SetAxisData(1, std::make_unique<Tag>(3)), 0);
    EXPECT_EQ(rose.GetLastError(), BadIndex);
}

TEST(WindRoseModel, DisplayOptions)
{
    WindRose rose;
    rose.SetLastError(BadRange);
    EXPECT_EQ(rose.SetGridStep(101), 0);
    EXPECT_EQ(rose.GetLastError(), BadPercent);
    EXPECT_EQ(rose.SetCriticalBorder(-1), 0);
    EXPECT_EQ(rose.GetLastError(), BadPercent);
    EXPECT_EQ(rose.IsModified(), 0);
    EXPECT_EQ(rose.SetGridStep(20), 1);
    EXPECT_EQ(rose.IsModified(), 0) << "equal value";
    EXPECT_EQ(rose.SetCriticalBorder(0), 1);
    EXPECT_EQ(rose.IsModified(), 1);

    rose.SetModified(0);
    rose.SetLastError(TableFull);
    rose.SetLabelTrunc(7);
    EXPECT_EQ(rose.GetLabelTrunc(), 7);
    EXPECT_EQ(rose.IsModified(), 1);
    EXPECT_EQ(rose.GetLastError(), TableFull) << "the flag setters leave the last error alone";
    rose.SetModified(0);
    rose.SetShowNames(1);
    EXPECT_EQ(rose.IsModified(), 0);
    rose.SetShowNumbers(1);
    rose.SetShowValues(0);
    EXPECT_EQ(rose.IsModified(), 1);

    rose.SetModified(0);
    rose.ResetDisplayOptions();
    EXPECT_EQ(rose.GetShowNumbers(), 0);
    EXPECT_EQ(rose.GetShowValues(), 1);
    EXPECT_EQ(rose.GetLabelTrunc(), 2);
    EXPECT_EQ(rose.GetCriticalBorder(), 80);
    EXPECT_EQ(rose.IsModified(), 0);
    EXPECT_EQ(rose.GetLastError(), TableFull);
}

TEST(WindRoseModel, PensAndFontsAreCheckedAndNeverModify)
{
    WindRose rose;
    rose.AddSeries("s", "");
    AddPlain(rose, "a");
    rose.SetModified(0);
    EXPECT_EQ(rose.SetAxisPen(PenSolid, 1, 0x00FF00), 1);
    EXPECT_EQ(rose.SetGridPen(7, 1, 0), 0);
    EXPECT_EQ(rose.GetLastError(), PenFailed);
    EXPECT_EQ(rose.SetCriticalPen(PenSolid, -1, 0), 0);
    EXPECT_EQ(rose.GetLastError(), PenFailed);
    EXPECT_EQ(rose.SetSeriesPen(PenInsideFrame, 0, 0), 1);
    EXPECT_EQ(rose.SetAxisPenAt(1, PenSolid, 1, 0), 0);
    EXPECT_EQ(rose.GetLastError(), BadIndex);
    EXPECT_EQ(rose.SetSeriesPenAt(0, PenSolid, 2, 0xFF), 1);

    EXPECT_EQ(rose.SetFont(nullptr), 0);
    EXPECT_EQ(rose.GetLastError(), NullArgument);
    FontDesc font {"MS Sans Serif", 12};
    EXPECT_EQ(rose.SetFont(&font), 1);
    font.face = std::string(32, 'x');
    EXPECT_EQ(rose.SetFont(&font), 0);
    EXPECT_EQ(rose.GetLastError(), FontFailed);
    font = FontDesc {"Sans", -16385};
    EXPECT_EQ(rose.SetFont(&font), 0);
    EXPECT_EQ(rose.GetLastError(), FontFailed);

    EXPECT_EQ(rose.SetTextColors(0xFFFFFF, NoColor), 1);
    EXPECT_EQ(rose.SetSeriesTextColors(1, 0, 0), 0);
    EXPECT_EQ(rose.GetLastError(), BadIndex);
    EXPECT_EQ(rose.SetSeriesTextColors(0, 0xFF, NoColor), 1);
    EXPECT_EQ(rose.IsModified(), 0);
}

TEST(WindRoseModel, LockIsRecursive)
{
    WindRose rose;
    WindRoseLock outer(rose);
    rose.Lock();
    EXPECT_EQ(AddPlain(rose, "a"), 1);
    rose.Unlock();
}

} // namespace
} // namespace quel
