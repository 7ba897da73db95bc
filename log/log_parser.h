#pragma once
// LogParser: reads the lines of an HTML or CSV log, as the log layout writes them, into a
// LogData. It takes exactly what the writer writes and stops at the first line that is not,
// saying what it found and on which line; what it read up to there stays.

#include "log/log_data.h"
#include "log/log_text.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quel {

class LogParser {
public:
    explicit LogParser(LogData& data);

    // Tells the size of the whole input, so that the rows' memory is taken once.
    void ExpectBytes(long long bytes) { expectedBytes_ = bytes; }
    // One line without its line end ("\r\n" or "\n"); ended: whether a line end followed it.
    // False once the log is damaged (Problem() says how); further lines are not read.
    bool Line(std::string_view line, bool ended);
    // The end of the input: false when the log is cut off (in a row, or an HTML log without
    // its end) or was damaged before.
    bool Finish();

    const std::string& Problem() const { return problem_; }
    // Whether the input was known for a log at all (its title was read).
    bool IsLog() const { return titled_; }
    long long LineNumber() const { return lineNumber_; }

private:
    enum class State { Start, HtmlHeader, Outside, Tracking, TableStart, HeadOpen, HeadDate, HeadTime, HeadNames,
                       CsvHead, Rows, HtmlCells, Ended };

    bool Fail(std::string_view what);
    bool HtmlLine(std::string_view line, bool ended);
    bool CsvLine(std::string_view line, bool ended);
    bool FirstLine(std::string_view line);
    bool HtmlOutside(std::string_view line);
    bool HtmlRowLine(std::string_view line);
    bool HtmlCell(std::string_view line);
    bool StartSection(std::string_view started, const char* format);
    bool SetColumns(const std::vector<std::string>& names);
    bool RowTime(std::string_view date, std::string_view time);
    bool Cell(std::string_view text);
    void CommitRow();
    void Widen(std::size_t columns);

    LogData& data_;
    LocalTimeReader timeReader_;
    State state_ = State::Start;
    std::string problem_;
    bool titled_ = false;
    long long lineNumber_ = 0;
    long long expectedBytes_ = 0;
    long long bytesRead_ = 0;
    long long rowStartBytes_ = 0;
    long long firstRowBytes_ = 0;
    int headerLines_ = 0;
    // The section being read: its year and last month (a row's date has no year), its names.
    int year_ = 0;
    int lastMonth_ = 0;
    std::vector<std::string> names_;
    std::unordered_map<std::string, std::vector<std::size_t>> columnsByName_;  // the log's columns of a name
    std::size_t widenedCells_ = 0;
    std::string name_;
    // The row being read.
    std::time_t rowTime_ = 0;
    std::vector<double> cells_;
    // The local time of the start of the last hour a row fell in.
    int hourKey_[4] = {-1, -1, -1, -1};
    std::time_t hourStart_ = 0;
};

} // namespace quel
