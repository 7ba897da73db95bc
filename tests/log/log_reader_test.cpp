// Reading logs back: whatever the writer writes reads back to the values it was given, and
// whatever it does not write is refused or read up to the damage, saying where.

#include "log/log_reader.h"
#include "log/log_summary.h"
#include "log_test_support.h"

#include <cmath>

namespace quel::test {
namespace {

constexpr double MiB = 1048576.0;
constexpr std::time_t NewYearsEve = 1704067190;  // Sunday, December 31, 2023 at 23:59:50 UTC

// A row as the log should hold it: its time and, per log column, the value or NaN (N/A).
struct ExpectedRow {
    std::time_t time;
    std::vector<double> values;
};

double AsLogged(double value)
{
    return std::round(value * 100.0) / 100.0;
}

class LogReaderTest : public LogTest, public ::testing::WithParamInterface<int> {
protected:
    LogReaderTest()
    {
        settings.LogFormat = GetParam();
        clock.now = NewYearsEve;
        AddAxis("% Processor Time", 100.0, 80.0);
        AddAxis("Used <Memory> & \"Swap\", MiB", 1024.0, 900.0, MiB, true);
        AddAxis("% Processor Time", 100.0, 80.0);  // a second axis of the same name
    }

    std::filesystem::path Log() const { return GetParam() == 1 ? CsvLog() : HtmlLog(); }

    // Writes a row and notes what the log should hold for it (columns: the axes in order).
    void Expect(std::vector<double> raw, std::size_t columns)
    {
        Row(raw);
        ExpectedRow row {clock.now, std::vector<double>(columns, std::nan(""))};
        for (std::size_t i = 0; i < raw.size(); ++i) {
            double scaled = i == 1 ? 1024.0 - raw[i] / MiB : raw[i];
            row.values[i] = raw[i] == -1.0 ? std::nan("") : AsLogged(scaled);
        }
        expected.push_back(row);
    }

    static void ExpectRows(const LogData& log, const std::vector<ExpectedRow>& rows)
    {
        ASSERT_EQ(log.RowCount(), rows.size());
        for (std::size_t r = 0; r < rows.size(); ++r) {
            EXPECT_EQ(log.times[r], rows[r].time) << "row " << r;
            for (std::size_t c = 0; c < log.ColumnCount(); ++c) {
                const double want = c < rows[r].values.size() ? rows[r].values[c] : std::nan("");
                if (std::isnan(want))
                    EXPECT_TRUE(std::isnan(log.Value(r, c))) << "row " << r << " column " << c;
                else
                    EXPECT_DOUBLE_EQ(log.Value(r, c), want) << "row " << r << " column " << c;
            }
        }
    }

    std::vector<ExpectedRow> expected;
};

// Two sections: every update across the turn of the year (the rows' dates have no year), with
// failed reads; then, with one more axis, changes only, where a value holds until the next row.
TEST_P(LogReaderTest, EveryLogTheWriterWritesReadsBackToTheValuesWritten)
{
    OpenAndStart();
    Expect({37.5, 512 * MiB, 3.0}, 4);
    Expect({85.254, -1.0, 12.001}, 4);
    Expect({-1.0, 1000 * MiB, 99.999}, 4);
    Expect({80.0, 2 * MiB, 0.0}, 4);
    Expect({80.0, 2 * MiB, 0.0}, 4);
    writer.ClearValues();
    writer.CloseLog();

    clock.now += 86400 * 40;  // into February
    settings.LogMode = 2;
    AddAxis("Queue", 50.0, 10.0);
    OpenAndStart();
    Expect({1.0, 0.0, 2.0, 3.0}, 4);
    Row({1.0, 0.0, 2.0, 3.0});  // unchanged: no row
    const std::time_t unchanged = clock.now;
    Expect({1.0, 0.0, 2.0, 4.0}, 4);

    LogData log;
    const LogReading reading = ReadLog(Log().string(), log);
    ASSERT_EQ(reading.status, LogReadStatus::Complete) << reading.message;
    EXPECT_EQ(log.kind, GetParam() == 1 ? LogKind::Csv : LogKind::Html);
    EXPECT_EQ(log.title, "Disk Watch");
    const std::string memory = GetParam() == 1 ? "Used <Memory> & \"Swap\" MiB" : "Used <Memory> & \"Swap\", MiB";
    EXPECT_EQ(log.columns, (std::vector<std::string> {"% Processor Time", memory, "% Processor Time", "Queue"}));
    ASSERT_EQ(log.sections.size(), 2u);
    EXPECT_EQ(log.sections[0].started, NewYearsEve);
    EXPECT_EQ(log.sections[1].firstRow, 5u);
    EXPECT_EQ(log.sections[1].rowCount, 2u);
    EXPECT_EQ(log.sections[1].logMode, GetParam() == 1 ? 0 : 2);
    ExpectRows(log, expected);
    EXPECT_EQ(RowAt(log, unchanged), std::optional<std::size_t>(5));
}

TEST_P(LogReaderTest, CurrentAndBackupReadBackTheRowsBetweenThem)
{
    settings.LogFileSize = 1;
    OpenAndStart();
    while (!std::filesystem::exists(GetParam() == 1 ? LogFolder() / "Disk Watch-log-bkup.csv" : HtmlBackup()))
        Expect({50.0, 1.0, 2.0}, 3);
    Expect({60.0, 1.0, 2.0}, 3);

    LogData backup;
    LogData current;
    const auto backupPath = GetParam() == 1 ? LogFolder() / "Disk Watch-log-bkup.csv" : HtmlBackup();
    ASSERT_EQ(ReadLog(backupPath.string(), backup).status, LogReadStatus::Complete);
    ASSERT_EQ(ReadLog(Log().string(), current).status, LogReadStatus::Complete);
    const std::vector<ExpectedRow> first(expected.begin(), expected.begin() + static_cast<long>(backup.RowCount()));
    const std::vector<ExpectedRow> rest(expected.begin() + static_cast<long>(backup.RowCount()), expected.end());
    ExpectRows(backup, first);
    ExpectRows(current, rest);
    EXPECT_FALSE(rest.empty());
}

INSTANTIATE_TEST_SUITE_P(Formats, LogReaderTest, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 1 ? "Csv" : "Html"; });

TEST(LogReaderTraps, DamagedForeignAndOversizedFilesSayWhatAndWhere)
{
    setenv("TZ", "UTC", 1);
    tzset();
    const std::string csv = Fixture("two-starts.csv");
    const std::string html = Fixture("two-starts.html");
    const std::size_t lastRowCell = html.rfind("  <td nowrap >1.00</td>");
    struct Trap {
        const char* name;
        std::string text;
        LogReadStatus status;
        std::string message;
        std::size_t rows;
    };
    const std::vector<Trap> traps = {
        {"cut CSV row", csv.substr(0, csv.size() - 4), LogReadStatus::Damaged, "line 12: the last line is cut off", 4},
        {"cut HTML row", html.substr(0, lastRowCell + 20), LogReadStatus::Damaged, "the last line is cut off", 4},
        {"HTML row without its cells", html.substr(0, lastRowCell), LogReadStatus::Damaged, "the last row is cut off", 4},
        {"HTML without its end", html.substr(0, html.size() - 30), LogReadStatus::Damaged, "the last line is cut off", 5},
        {"a damaged cell", std::string(csv).replace(csv.find("85.25"), 5, "85,25"), LogReadStatus::Damaged,
         "line 6: a row with more cells", 1},
        {"foreign HTML", "<!DOCTYPE html>\r\n<html><body>\r\n<h1>Log</h1>\r\n", LogReadStatus::Refused,
         "line 1: not a log of this monitor", 0},
        {"HTML without a title", "<html><body>\n<p>a\n<p>b\n<p>c\n<p>d\n<p>e\n<p>f\n<p>g\n", LogReadStatus::Refused,
         "line 8: not a log of this monitor", 0},
        {"binary", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\n\0\0", 14), LogReadStatus::Refused,
         "line 1: binary data", 0},
        {"binary in a log", std::string(csv).replace(csv.find("03/05,14:07:13") + 3, 1, 1, '\0'), LogReadStatus::Damaged,
         "line 6: binary data", 1},
        {"another program's CSV", "Date,Time,CPU\r\n03/05,14:07:11,37.50\r\n", LogReadStatus::Refused,
         "line 1: not a log of this monitor", 0},
        {"a date that does not exist", std::string(csv).replace(csv.find("03/05,14:07:13"), 5, "02/30"),
         LogReadStatus::Damaged, "line 6: a row's date that does not exist", 1},
        {"empty", "", LogReadStatus::Refused, "the file is empty", 0},
    };
    for (const Trap& trap : traps) {
        LogData log;
        const LogReading reading = ReadLogText(trap.text, log);
        EXPECT_EQ(reading.status, trap.status) << trap.name;
        EXPECT_NE(reading.message.find(trap.message), std::string::npos) << trap.name << ": " << reading.message;
        EXPECT_EQ(log.RowCount(), trap.rows) << trap.name;
        for (const double value : log.values)
            EXPECT_TRUE(std::isnan(value) || std::isfinite(value)) << trap.name;
    }

    TempFolder folder;
    LogData log;
    const LogReading big = ReadLog(folder.Write("big-log.csv", csv).string(), log, 100);
    EXPECT_EQ(big.status, LogReadStatus::Refused);
    EXPECT_EQ(big.message, "the file has " + std::to_string(csv.size()) + " bytes, more than the 100 bytes a log is read up to");
    EXPECT_EQ(ReadLog("/dev/zero", log).status, LogReadStatus::Refused);
    EXPECT_EQ(ReadLog(folder.Path().string(), log).message, "not a regular file");
}

} // namespace
} // namespace quel::test
