#include "log/log_writer.h"

#include "windrose/number_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quel {
namespace {

constexpr int CsvFormat = 1;
constexpr int HtmlFormat = 0;

long long SizeLimit(const MonitorSettings& settings)
{
    return static_cast<long long>(settings.LogFileSize) * 1024;
}

// The axes' names into names, whose strings are reused.
void ReadAxisNames(const WindRose& axes, AxisNameList& names)
{
    names.resize(static_cast<std::size_t>(std::max(0, axes.GetAxisCount())));
    for (std::size_t i = 0; i < names.size(); ++i)
        axes.GetAxisName(static_cast<int>(i), names[i]);
}

} // namespace

LogWriter::LogWriter()
{
    started_.reserve(128);  // the longest time text, so that a longer weekday needs no memory
}

LogWriter::~LogWriter()
{
    CloseLog();
}

void LogWriter::SetLogLocation(const std::string& profilePath, bool startSection, const LogContext& context)
{
    if (profilePath.empty()) {
        // A profile without a name has no place for a log.
        CloseLog();
        directory_.clear();
        baseName_.clear();
        path_.clear();
        return;
    }
    const std::size_t slash = profilePath.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::string fileName = profilePath.substr(nameStart);
    directory_ = profilePath.substr(0, nameStart) + LogFolderName + "/";
    baseName_ = fileName.substr(0, fileName.rfind('.'));
    OpenLog(false, context);
    if (startSection)
        StartLogSection(context);
}

void LogWriter::FormNames()
{
    // Assigned piece by piece, so that a rotation reuses the strings' memory.
    const char* extension = format_ == CsvFormat ? ".csv" : ".html";
    currentName_.assign(baseName_).append("-log").append(extension);
    backupName_.assign(baseName_).append("-log-bkup").append(extension);
    path_.assign(directory_).append(currentName_);
    backupPath_.assign(directory_).append(backupName_);
    lockPath_.assign(directory_).append(baseName_).append(LogLockSuffix);
}

void LogWriter::OpenLog(bool forceRotation, const LogContext& context)
{
    file_.Close();  // the owner lock is kept while the log stays the same
    rowCount_ = 0;
    if (directory_.empty()) {
        CloseLog();
        return;
    }
    format_ = context.settings.LogFormat;
    FormNames();
    if (context.settings.LogMode == 0) {
        CloseLog();
        return;
    }

    ::mkdir(directory_.c_str(), 0777);
    if (!TakeOwnership(context))
        return;
    linkedBackup_.clear();
    Rotate(forceRotation, context);

    bool created = false;
    if (!CreateIfMissing(created))
        return;
    if (!file_.Open(path_.c_str(), format_ == CsvFormat)) {
        if (context.interactive && context.messages != nullptr)
            context.messages->ShowMessage("Cannot write to file: " + path_);
        return;
    }
    LogFileLock lock(file_);
    if (file_.Ending() == LogEnding::Empty)
        WriteHeader(context);
}

// Makes this writer the only one of the log; false when another writer has it. That is said
// where nobody is shown a message box (the service), once each time it is found.
bool LogWriter::TakeOwnership(const LogContext& context)
{
    const bool wasElsewhere = writtenElsewhere_;
    writtenElsewhere_ = owner_.Take(lockPath_) == LogOwnerLock::Result::Taken;
    if (writtenElsewhere_ && !wasElsewhere && !context.interactive && context.problems != nullptr)
        context.problems->ShowMessage("the log " + path_ + " is written by another program; this profile is "
                                      "sampled without logging");
    return !writtenElsewhere_;
}

// Moves the current log to the backup when forced or when it has reached its size limit. The
// current log's lock is held meanwhile, and its size is looked at under the lock, so that of
// two writers of one log only the first rotates it.
void LogWriter::Rotate(bool force, const LogContext& context)
{
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    struct stat opened {};
    struct stat named {};
    const bool full = fd >= 0 && ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
                      ::stat(path_.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
                      opened.st_ino == named.st_ino && opened.st_size >= SizeLimit(context.settings);
    if (force || full) {
        ::unlink(backupPath_.c_str());
        if (std::rename(path_.c_str(), backupPath_.c_str()) == 0)
            linkedBackup_.assign(backupName_);
    }
    if (fd >= 0)
        ::close(fd);  // gives the lock back
}

bool LogWriter::CreateIfMissing(bool& created) const
{
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    created = fd >= 0;
    if (fd >= 0)
        return ::close(fd) == 0;
    return errno == EEXIST;
}

void LogWriter::WriteHeader(const LogContext& context)
{
    text_.Clear();
    if (format_ == CsvFormat)
        AppendCsvTitle(text_, baseName_);
    else
        AppendHtmlHeader(text_, baseName_, currentName_, linkedBackup_);
    Write(0, {}, context);
}

// Writes text_ at offset over replaced (see LogFile::WriteAt) and reports a change between
// failing and working writes.
bool LogWriter::Write(long long offset, std::string_view replaced, const LogContext& context)
{
    const int error = file_.WriteAt(offset, text_.View(), replaced);
    ReportWrite(error, context);
    return error == 0;
}

// A log that cannot take its rows (a full disk, a file size limit) is said once when it starts
// failing and, where nobody is shown a message box, once when it takes rows again.
void LogWriter::ReportWrite(int error, const LogContext& context)
{
    if ((error != 0) == failing_)
        return;
    failing_ = error != 0;
    if (context.interactive) {
        if (failing_ && context.messages != nullptr)
            context.messages->ShowMessage("Cannot write to file: " + path_);
        return;
    }
    if (context.problems == nullptr)
        return;
    context.problems->ShowMessage(failing_ ? "cannot write to the log " + path_ + ": " + std::strerror(error) +
                                                 "; rows are left out until it can be written again"
                                           : "the log " + path_ + " is written again");
}

void LogWriter::StartLogSection(const LogContext& context)
{
    if (!file_.IsOpen() || context.settings.LogMode == 0)
        return;
    LogFileLock lock(file_);
    file_.Refresh();
    if (file_.Ending() == LogEnding::Empty)
        WriteHeader(context);
    const bool csv = format_ == CsvFormat;
    LocalTimeText(context.clock.Now(), csv ? CsvStartedFormat : HtmlStartedFormat, started_);
    ReadAxisNames(context.axes, axisNames_);
    // An HTML section goes over the footer when the file ends with one (an earlier table keeps
    // its "</table>"), else after whatever the file ends with.
    const LogEnding ending = file_.Ending();
    const bool overFooter = !csv && (ending == LogEnding::Header || ending == LogEnding::Table);
    const long long offset = overFooter ? file_.Size() - static_cast<long long>(HeaderFooter.size()) : file_.Size();
    text_.Clear();
    if (csv)
        AppendCsvSection(text_, started_, axisNames_);
    else
        AppendHtmlSection(text_, started_, context.settings.LogMode, axisNames_);
    Write(offset, overFooter ? HeaderFooter : std::string_view(), context);
}

// Where an HTML row goes: over the footer of a table; a file that does not end with one gets
// a new section first. Negative when no table could be started.
long long LogWriter::RowOffset(const LogContext& context)
{
    if (file_.Ending() != LogEnding::Table)
        StartLogSection(context);
    if (file_.Ending() != LogEnding::Table)
        return -1;
    return file_.Size() - static_cast<long long>(TableFooter.size());
}

void LogWriter::ResetValues(int axisCount)
{
    const std::size_t count = axisCount > 0 ? static_cast<std::size_t>(axisCount) : 0;
    lastSample_.assign(count, 0.0);
    lastLogged_.assign(count, 0.0);
    lastFailed_.assign(count, false);
    rowCount_ = 0;
}

void LogWriter::ClearValues()
{
    lastSample_.clear();
    lastLogged_.clear();
    lastFailed_.clear();
}

// Takes the sample into cells_ and remembers it; returns whether the log mode wants a row.
bool LogWriter::FillCells(std::span<const AxisSample> sample, const LogContext& context)
{
    const std::size_t axes = sample.size();
    if (lastSample_.size() != axes) {
        lastSample_.resize(axes, 0.0);
        lastLogged_.resize(axes, 0.0);
        lastFailed_.resize(axes, false);
    }
    cells_.resize(axes);
    const int mode = context.settings.LogMode;
    bool valueChanged = false;
    bool stateChanged = false;
    for (std::size_t i = 0; i < axes; ++i) {
        const AxisSample& axis = sample[i];
        const bool failed = !axis.read;
        const double value = axis.current;
        const double previous = lastSample_[i];
        const double reference = mode == 3 ? lastLogged_[i] : previous;
        const bool changed = !EqualAsLogged(value, reference);
        // A failed read's value counts too, as it always has for the state of a row.
        const bool critical = LogCritical(value, axis.criticalValue);
        LogCell& cell = cells_[i];
        cell.value = value;
        cell.failed = failed;
        cell.critical = critical;
        cell.arrow = !changed || rowCount_ == 0 ? Arrow::None : value > previous ? Arrow::Up : Arrow::Down;
        valueChanged = valueChanged || changed;
        stateChanged = stateChanged || critical != LogCritical(previous, axis.criticalValue) || failed != lastFailed_[i];
        lastSample_[i] = value;
        lastFailed_[i] = failed;
    }
    switch (mode) {
    case 1: return true;
    case 2: return valueChanged || rowCount_ == 0;
    case 3: return stateChanged || rowCount_ == 0;
    default: return false;
    }
}

// A log at its size limit is rotated, and one that another writer has rotated away is left
// for the new current log.
void LogWriter::RotateWhenFull(const LogContext& context)
{
    file_.Refresh();
    if (file_.Size() < SizeLimit(context.settings) && file_.IsAt(path_.c_str()))
        return;
    OpenLog(false, context);
    StartLogSection(context);
}

// Whether two values print the same with two decimals.
bool LogWriter::EqualAsLogged(double a, double b)
{
    first_.clear();
    second_.clear();
    AppendFixed(first_, a, 2);
    AppendFixed(second_, b, 2);
    return first_ == second_;
}

void LogWriter::WriteLogRow(std::span<const AxisSample> sample, const LogContext& context)
{
    if (file_.IsOpen())
        RotateWhenFull(context);
    if (!file_.IsOpen() || context.settings.LogMode == 0)
        return;
    if (!FillCells(sample, context))
        return;

    const std::time_t now = context.clock.Now();
    LocalTimeText(now, RowDateFormat, date_);
    LocalTimeText(now, RowTimeFormat, time_);
    LogFileLock lock(file_);
    file_.Refresh();
    bool written = true;  // a format without rows counts its rows all the same
    if (format_ == CsvFormat) {
        text_.Clear();
        AppendCsvRow(text_, date_, time_, cells_);
        written = Write(0, {}, context);
    } else if (format_ == HtmlFormat) {
        const long long offset = RowOffset(context);
        if (offset < 0)
            return;
        text_.Clear();
        AppendHtmlRow(text_, rowCount_, date_, time_, cells_);
        written = Write(offset, TableFooter, context);
    }
    if (!written)
        return;
    lastLogged_ = lastSample_;
    ++rowCount_;
}

void LogWriter::CleanLog(const LogContext& context)
{
    OpenLog(true, context);
    StartLogSection(context);
}

void LogWriter::CloseLog()
{
    file_.Close();
    owner_.Release();
    writtenElsewhere_ = false;
}

bool LogWriter::IsWrittenElsewhere() const
{
    return writtenElsewhere_;
}

std::string LogWriter::GetLogPath() const
{
    return path_;
}

} // namespace quel
