// A log's history on the wind rose: the three lines at a row against a recount from the first
// row (across sections, with N/A), and the columns placed on the profile's axes by name and
// order, a column without one on an axis of its own.

#include "engine/log_moment_rose.h"
#include "log/log_history.h"
#include "tests/engine/monitor_test_support.h"

#include <cmath>
#include <limits>

namespace quel::test {
namespace {

constexpr double NA = std::numeric_limits<double>::quiet_NaN();

LogData MakeLog(std::vector<std::string> columns, const std::vector<std::vector<double>>& rows, std::size_t secondSection)
{
    LogData log;
    log.columns = std::move(columns);
    log.sections.push_back(LogSection {1000, 0, 0, secondSection, {}});
    log.sections.push_back(LogSection {9000, 0, secondSection, rows.size() - secondSection, {}});
    for (std::size_t r = 0; r < rows.size(); ++r) {
        log.times.push_back(static_cast<std::time_t>(r < secondSection ? 1000 + r : 9000 + r));
        log.values.insert(log.values.end(), rows[r].begin(), rows[r].end());
    }
    return log;
}

// Equal, or both N/A.
void ExpectSame(double actual, double expected, const std::string& what)
{
    if (std::isnan(expected))
        EXPECT_TRUE(std::isnan(actual)) << what << ": " << actual << " where N/A";
    else
        EXPECT_DOUBLE_EQ(actual, expected) << what;
}

TEST(LogHistory, EveryRowsLinesEqualARecountFromTheFirstRowAcrossSections)
{
    // Three blocks and a half of rows; column 1 is N/A now and then, column 2 until row 100.
    const std::size_t rowCount = LogHistory::BlockRows * 3 + LogHistory::BlockRows / 2;
    std::vector<std::vector<double>> rows;
    for (std::size_t r = 0; r < rowCount; ++r) {
        const double wave = static_cast<double>((r * 37) % 101) - 20.0;
        rows.push_back({wave, r % 7 == 3 ? NA : wave * 0.5 + 3.25, r < 100 ? NA : static_cast<double>(r % 13)});
    }
    const LogData log = MakeLog({"A", "B", "C"}, rows, rowCount / 2 + 1);
    const LogHistory history(log);

    std::vector<double> sums(3, 0.0), maxima(3, NA);
    std::vector<int> counts(3, 0);
    for (std::size_t r = 0; r < rowCount; ++r) {
        const std::vector<ColumnMoment> moment = history.MomentAt(r);
        ASSERT_EQ(moment.size(), 3u);
        for (std::size_t c = 0; c < 3; ++c) {
            const double value = rows[r][c];
            if (!std::isnan(value)) {
                sums[c] += value;
                maxima[c] = counts[c]++ == 0 ? value : std::max(maxima[c], value);
            }
            const std::string where = "row " + std::to_string(r) + " column " + std::to_string(c);
            ExpectSame(moment[c].current, value, where + " current");
            ExpectSame(moment[c].average, counts[c] > 0 ? sums[c] / counts[c] : NA, where + " average");
            ExpectSame(moment[c].maximum, maxima[c], where + " maximum");
        }
    }
    for (const ColumnMoment& past : history.MomentAt(rowCount))
        EXPECT_TRUE(std::isnan(past.current) && std::isnan(past.average) && std::isnan(past.maximum));
}

class LogHistoryRoseTest : public MonitorTest {};

TEST_F(LogHistoryRoseTest, ColumnsTakeTheirAxesInOrderAndAColumnWithoutOneGetsItsValuesBounds)
{
    AddAxis("% Processor Time");
    AddAxis("Queue");
    ASSERT_TRUE(monitor->AddAxis("% Processor Time", "", 1, 0, 100, 80, 1, nullptr));  // inverse
    const LogData log = MakeLog({"% Processor Time", "Extra", "% Processor Time"},
                                {{10, -2, 30}, {20, 5, NA}, {NA, NA, 50}}, 1);
    const LogHistory history(log);

    const ColumnAxes placed = PlaceColumns(*monitor, history);
    EXPECT_EQ(placed.axis, (std::vector<int> {0, 3, 2}));
    ASSERT_EQ(monitor->GetAxisCount(), 4);
    double low = 0, high = 0;
    monitor->GetAxisMin(3, low);
    monitor->GetAxisMax(3, high);
    EXPECT_EQ(low, -2.0);
    EXPECT_EQ(high, 5.0);
    ASSERT_EQ(placed.notes.size(), 1u);
    EXPECT_NE(placed.notes[0].find("\"Extra\""), std::string::npos) << placed.notes[0];

    ShowMoment(*monitor, placed.axis, history.MomentAt(1));
    EXPECT_EQ(Cell(0, SeriesCurrent), 20.0);
    EXPECT_EQ(Cell(0, SeriesAverage), 15.0);
    EXPECT_EQ(Cell(3, SeriesMax), 5.0);
    EXPECT_EQ(State(1, SeriesCurrent), NoData) << "an axis without a column";
    EXPECT_EQ(State(2, SeriesCurrent), NoData) << "logged N/A";
    EXPECT_EQ(Cell(2, SeriesAverage), 30.0) << "the inverse axis shows the logged value";

    ShowMoment(*monitor, placed.axis, history.MomentAt(2));
    EXPECT_EQ(State(0, SeriesCurrent), NoData);
    EXPECT_EQ(Cell(0, SeriesMax), 20.0) << "N/A stays out of the maximum";
    EXPECT_EQ(Cell(2, SeriesCurrent), 50.0);
    EXPECT_NE(State(2, SeriesCurrent), NoData) << "a value after N/A is shown again";
}

} // namespace
} // namespace quel::test
