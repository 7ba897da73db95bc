#include "log/log_parser.h"

#include "log/log_file.h"
#include "log/log_layout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <unordered_map>

namespace quel {
namespace {

constexpr double NotAvailableValue = std::numeric_limits<double>::quiet_NaN();
constexpr int MaxHeaderLines = 6;          // lines of the HTML header before its title
constexpr std::size_t MaxColumns = 1024;   // far beyond any wind rose
constexpr std::size_t EstimateRows = 64;    // rows read before the rows' memory is taken
constexpr std::size_t MaxWidenedCells = std::size_t {1} << 28;

// Removes prefix from text; false when text does not start with it.
bool Take(std::string_view& text, std::string_view prefix)
{
    if (!text.starts_with(prefix))
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

bool TakeEnd(std::string_view& text, std::string_view suffix)
{
    if (!text.ends_with(suffix))
        return false;
    text.remove_suffix(suffix.size());
    return true;
}

// A cell's number as "%.2f" writes it; a value that is not finite was not known.
bool ReadNumber(std::string_view text, double& value)
{
    if (text == NotAvailable) {
        value = NotAvailableValue;
        return true;
    }
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || stop != end || (error != std::errc() && error != std::errc::result_out_of_range))
        return false;
    if (error != std::errc() || !std::isfinite(value))
        value = NotAvailableValue;
    return true;
}

// The line's first 40 characters, for a message.
std::string Quoted(std::string_view line)
{
    std::string text = "\"";
    for (const char c : line.substr(0, 40))
        text += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    return text + (line.size() > 40 ? "...\"" : "\"");
}

} // namespace

LogParser::LogParser(LogData& data) : data_(data)
{
    data_ = LogData {};
}

bool LogParser::Fail(std::string_view what)
{
    if (problem_.empty())
        problem_ = "line " + std::to_string(lineNumber_) + ": " + std::string(what);
    return false;
}

bool LogParser::Line(std::string_view line, bool ended)
{
    if (!problem_.empty())
        return false;
    ++lineNumber_;
    bytesRead_ += static_cast<long long>(line.size()) + (ended ? 2 : 0);
    if (line.find('\0') != std::string_view::npos)
        return Fail("binary data where a log has text");
    if (state_ == State::Start)
        return FirstLine(line);
    return data_.kind == LogKind::Csv ? CsvLine(line, ended) : HtmlLine(line, ended);
}

bool LogParser::FirstLine(std::string_view line)
{
    if (line == HtmlStart) {
        data_.kind = LogKind::Html;
        state_ = State::HtmlHeader;
        return true;
    }
    if (Take(line, LogTitle)) {
        data_.kind = LogKind::Csv;
        data_.title = line;
        titled_ = true;
        state_ = State::Outside;
        return true;
    }
    return Fail("not a log of this monitor: it starts with " + Quoted(line));
}

bool LogParser::Finish()
{
    if (!problem_.empty())
        return false;
    if (state_ == State::Start)
        return Fail("the file is empty");
    if (!titled_)
        return Fail("the log ends in its header");
    if (state_ == State::HtmlCells)
        return Fail("the last row is cut off");
    if (data_.kind == LogKind::Html && state_ != State::Ended)
        return Fail("the log is cut off: its end mark is missing");
    if (data_.kind == LogKind::Csv && state_ != State::Rows && state_ != State::Outside)
        return Fail("the log is cut off in a section's head");
    return true;
}

// --- HTML ------------------------------------------------------------------------------------

bool LogParser::HtmlLine(std::string_view line, bool ended)
{
    if (state_ == State::Ended)
        return Fail("text after the log's end mark: " + Quoted(line));
    if (line == TableFooter || line == HeaderFooter) {
        if (state_ != State::Rows && state_ != State::Outside)
            return Fail("the log ends inside a section's head");
        if (line == TableFooter && state_ != State::Rows)
            return Fail("a table's end outside a table");
        state_ = State::Ended;
        return true;
    }
    if (!ended)
        return Fail("the last line is cut off: " + Quoted(line));
    switch (state_) {
    case State::HtmlHeader: {
        std::string_view title = line;
        if (Take(title, LogTitle) && TakeEnd(title, HtmlTitleEnd)) {
            if (!HtmlToText(title, data_.title))
                return Fail("the title has text HTML does not allow");
            titled_ = true;
            state_ = State::Outside;
            return true;
        }
        if (++headerLines_ > MaxHeaderLines)
            return Fail("not a log of this monitor: no \"" + std::string(LogTitle) + "\" title");
        return true;
    }
    case State::Outside: return HtmlOutside(line);
    case State::Tracking: {
        std::string_view tracking = line;
        if (!Take(tracking, HtmlTrackingStart) || !TakeEnd(tracking, HtmlTrackingEnd))
            return Fail("a section without its \"" + std::string(HtmlTrackingStart) + "\" line");
        for (int mode = 1; mode <= 3; ++mode) {
            if (tracking == TrackingText(mode))
                data_.sections.back().logMode = mode;
        }
        state_ = State::TableStart;
        return true;
    }
    case State::TableStart:
        if (line.empty())
            return true;
        state_ = State::HeadOpen;
        return line == HtmlTable ? true : Fail("a section without its table");
    case State::HeadOpen:
        state_ = State::HeadDate;
        return line == HtmlRowOpen ? true : Fail("a table without its head");
    case State::HeadDate:
    case State::HeadTime:
    case State::HeadNames: {
        if (state_ == State::HeadNames && line == HtmlRowClose) {
            state_ = State::Rows;
            return SetColumns(names_);
        }
        std::string_view name = line;
        if (!Take(name, HtmlHeadStart) || !TakeEnd(name, HtmlHeadEnd))
            return Fail("a table head with " + Quoted(line));
        if (state_ == State::HeadDate || state_ == State::HeadTime) {
            const std::string_view expected = state_ == State::HeadDate ? HtmlDateHead : HtmlTimeHead;
            state_ = state_ == State::HeadDate ? State::HeadTime : State::HeadNames;
            return name == expected ? true : Fail("a table head without " + std::string(expected));
        }
        if (names_.size() >= MaxColumns || !HtmlToText(name, name_))
            return Fail("a column name HTML does not allow, or too many columns");
        names_.push_back(name_);
        return true;
    }
    case State::Rows: return HtmlRowLine(line);
    case State::HtmlCells: return HtmlCell(line);
    default: return Fail("unexpected " + Quoted(line));
    }
}

bool LogParser::HtmlOutside(std::string_view line)
{
    std::string_view started = line;
    if (line.empty() || line == HtmlTableEnd || (data_.sections.empty() && line.starts_with("Navigate: ")))
        return true;
    if (Take(started, HtmlSectionStart) && Take(started, SectionStarted) && TakeEnd(started, HtmlSectionEnd)) {
        names_.clear();
        state_ = State::Tracking;
        return StartSection(started, HtmlStartedFormat);
    }
    return Fail("unexpected " + Quoted(line));
}

bool LogParser::HtmlRowLine(std::string_view line)
{
    if (line.empty())
        return true;
    if (line == HtmlTableEnd) {
        state_ = State::Outside;
        return true;
    }
    std::string_view row = line;
    if (!Take(row, HtmlRowStart) || !(Take(row, HtmlOddRowColour) || Take(row, HtmlEvenRowColour)) ||
        !Take(row, HtmlDateStart) || !TakeEnd(row, HtmlCellEnd))
        return Fail("a row that does not start as a row: " + Quoted(line));
    const std::size_t between = row.find(HtmlCellBetween);
    if (between == std::string_view::npos)
        return Fail("a row without its time");
    rowStartBytes_ = bytesRead_ - static_cast<long long>(line.size()) - 2;
    if (!RowTime(row.substr(0, between), row.substr(between + HtmlCellBetween.size())))
        return false;
    cells_.clear();
    state_ = State::HtmlCells;
    return true;
}

bool LogParser::HtmlCell(std::string_view line)
{
    const std::size_t width = data_.sections.back().columns.size();
    if (line == HtmlRowClose) {
        if (cells_.size() != width)
            return Fail("a row of " + std::to_string(cells_.size()) + " cells in a table of " + std::to_string(width) + " columns");
        CommitRow();
        state_ = State::Rows;
        return true;
    }
    if (cells_.size() >= width)
        return Fail("a row with more cells than its table has columns");
    if (line == HtmlFailedCell)
        return Cell(NotAvailable);
    std::string_view value = line;
    if (!Take(value, HtmlValueCellStart))
        return Fail("a row cut short or damaged: " + Quoted(line));
    Take(value, HtmlCriticalMark);
    if (!Take(value, HtmlValueStart) || !TakeEnd(value, HtmlCellEnd))
        return Fail("a damaged cell: " + Quoted(line));
    if (!TakeEnd(value, HtmlUpArrow))
        TakeEnd(value, HtmlDownArrow);
    return value == NotAvailable ? Fail("a damaged cell: " + Quoted(line)) : Cell(value);
}

// --- CSV -------------------------------------------------------------------------------------

bool LogParser::CsvLine(std::string_view line, bool ended)
{
    if (!ended)
        return Fail("the last line is cut off: " + Quoted(line));
    std::string_view started = line;
    if ((state_ == State::Outside || state_ == State::Rows) && Take(started, SectionStarted) && Take(started, CsvStartedOn)) {
        state_ = State::CsvHead;
        return StartSection(started, CsvStartedFormat);
    }
    if (state_ == State::CsvHead) {
        std::string_view names = line;
        if (!Take(names, CsvDateTimeHead))
            return Fail("a section without its \"" + std::string(CsvDateTimeHead) + "\" head");
        names_.clear();
        for (std::size_t start = 0; start < names.size();) {
            if (names[start] != CsvSeparator)
                return Fail("a damaged head: " + Quoted(line));
            const std::size_t next = std::min(names.find(CsvSeparator, start + 1), names.size());
            names_.emplace_back(names.substr(start + 1, next - start - 1));
            start = next;
        }
        state_ = State::Rows;
        return SetColumns(names_);
    }
    if (line.empty()) {
        state_ = state_ == State::Rows ? State::Outside : state_;
        return true;
    }
    if (state_ != State::Rows)
        return Fail("unexpected " + Quoted(line));
    rowStartBytes_ = bytesRead_ - static_cast<long long>(line.size()) - 2;
    const std::size_t dateEnd = line.find(CsvSeparator);
    const std::size_t timeEnd = line.find(CsvSeparator, dateEnd == std::string_view::npos ? line.size() : dateEnd + 1);
    if (dateEnd == std::string_view::npos)
        return Fail("a row without its time: " + Quoted(line));
    if (!RowTime(line.substr(0, dateEnd), line.substr(dateEnd + 1, timeEnd - dateEnd - 1)))
        return false;
    cells_.clear();
    for (std::size_t start = timeEnd; start < line.size();) {
        const std::size_t next = std::min(line.find(CsvSeparator, start + 1), line.size());
        if (cells_.size() >= data_.sections.back().columns.size())
            return Fail("a row with more cells than its section has columns");
        if (!Cell(line.substr(start + 1, next - start - 1)))
            return false;
        start = next;
    }
    if (cells_.size() != data_.sections.back().columns.size())
        return Fail("a row with fewer cells than its section has columns");
    CommitRow();
    return true;
}

// --- sections and rows -----------------------------------------------------------------------

bool LogParser::StartSection(std::string_view started, const char* format)
{
    std::tm local {};
    if (!timeReader_.Read(started, format, local))
        return Fail("a section's start time that cannot be read: " + Quoted(started));
    local.tm_isdst = -1;
    const std::time_t time = std::mktime(&local);
    if (time == static_cast<std::time_t>(-1))
        return Fail("a section's start time that cannot be read: " + Quoted(started));
    LogSection section;
    section.started = time;
    section.firstRow = data_.RowCount();
    data_.sections.push_back(std::move(section));
    year_ = local.tm_year;
    lastMonth_ = local.tm_mon;
    return true;
}

// The section's columns: the k-th column of a name is the log's k-th column of that name,
// added when the log has none yet.
bool LogParser::SetColumns(const std::vector<std::string>& names)
{
    std::vector<std::size_t> columns;
    std::unordered_map<std::string_view, std::size_t> occurrences;
    std::vector<std::string> added;
    for (const std::string& name : names) {
        const std::size_t before = occurrences[name]++;
        std::vector<std::size_t>& known = columnsByName_[name];
        if (before == known.size()) {
            known.push_back(data_.columns.size() + added.size());
            added.push_back(name);
        }
        columns.push_back(known[before]);
    }
    if (added.empty()) {
        data_.sections.back().columns = std::move(columns);
        return true;
    }
    if (data_.columns.size() + added.size() > MaxColumns)
        return Fail("too many columns");
    // Rows read so far are laid out again: a bound on that work keeps a log whose columns
    // change with every row from taking forever.
    widenedCells_ += data_.RowCount() * (data_.columns.size() + added.size());
    if (widenedCells_ > MaxWidenedCells)
        return Fail("the log's columns change too often");
    Widen(data_.columns.size() + added.size());
    std::move(added.begin(), added.end(), data_.columns.end() - static_cast<long>(added.size()));
    data_.sections.back().columns = std::move(columns);
    return true;
}

// Adds columns to the log; rows read so far get N/A in them.
void LogParser::Widen(std::size_t columns)
{
    const std::size_t old = data_.columns.size();
    const std::size_t rows = data_.RowCount();
    if (rows > 0) {
        std::vector<double> values(rows * columns, NotAvailableValue);
        for (std::size_t r = 0; r < rows; ++r)
            std::copy_n(data_.values.begin() + static_cast<long>(r * old), old, values.begin() + static_cast<long>(r * columns));
        data_.values.swap(values);
    }
    data_.columns.resize(columns);
}

bool LogParser::RowTime(std::string_view date, std::string_view time)
{
    std::tm local {};
    if (!timeReader_.Read(date, RowDateFormat, local) || !timeReader_.Read(time, RowTimeFormat, local))
        return Fail("a row's date or time that cannot be read: " + Quoted(date) + " " + Quoted(time));
    // The date has no year: the section's, one more for every turn of the year since.
    if (local.tm_mon < lastMonth_)
        ++year_;
    lastMonth_ = local.tm_mon;
    const int key[4] = {year_, local.tm_mon, local.tm_mday, local.tm_hour};
    if (!std::equal(key, key + 4, hourKey_)) {
        std::tm hour {};
        hour.tm_year = year_;
        hour.tm_mon = local.tm_mon;
        hour.tm_mday = local.tm_mday;
        hour.tm_hour = local.tm_hour;
        hour.tm_isdst = -1;
        hourStart_ = std::mktime(&hour);
        if (hourStart_ == static_cast<std::time_t>(-1) || hour.tm_mday != local.tm_mday)
            return Fail("a row's date that does not exist: " + Quoted(date));
        std::copy(key, key + 4, hourKey_);
    }
    rowTime_ = hourStart_ + local.tm_min * 60 + local.tm_sec;
    return true;
}

bool LogParser::Cell(std::string_view text)
{
    double value = 0.0;
    if (!ReadNumber(text, value))
        return Fail("a cell that is not a number: " + Quoted(text));
    cells_.push_back(value);
    return true;
}

void LogParser::CommitRow()
{
    LogSection& section = data_.sections.back();
    const std::size_t width = data_.ColumnCount();
    if (data_.RowCount() == 0)
        firstRowBytes_ = rowStartBytes_;
    if (data_.RowCount() == EstimateRows && expectedBytes_ > bytesRead_) {
        // The rows' memory, once, from the size of the rows so far.
        const long long rowBytes = std::max(16LL, (bytesRead_ - firstRowBytes_) / static_cast<long long>(EstimateRows));
        const long long rest = (expectedBytes_ - bytesRead_) / rowBytes;
        const auto rows = static_cast<std::size_t>(rest + rest / 32 + EstimateRows + 16);
        data_.times.reserve(rows);
        data_.values.reserve(rows * width);
    }
    data_.times.push_back(rowTime_);
    const std::size_t start = data_.values.size();
    data_.values.resize(start + width, NotAvailableValue);
    for (std::size_t i = 0; i < cells_.size(); ++i)
        data_.values[start + section.columns[i]] = cells_[i];
    ++section.rowCount;
}

} // namespace quel
