#pragma once
// LogWriter: records samples in an HTML or CSV log in the "Logs" folder beside the profile,
// rotating it at its size limit. A log has one writer at a time (see LogOwnerLock). Its state
// lives in the counter monitor; every operation runs under the monitor's lock, rows on the
// sampling thread.

#include "log/log_file.h"
#include "log/log_layout.h"
#include "log/log_owner_lock.h"
#include "log/log_text.h"
#include "platform/clock.h"
#include "platform/user_interface.h"
#include "profile/monitor_settings.h"
#include "windrose/wind_rose.h"

#include <span>
#include <string>
#include <vector>

namespace quel {

// The folder beside the profile that holds its logs.
inline constexpr const char* LogFolderName = "Logs";

// What an operation of the writer reads from its monitor.
struct LogContext {
    const WindRose& axes;             // the axes' names, for the headers
    const MonitorSettings& settings;  // LogMode, LogFormat, LogFileSize
    bool interactive;                 // report "Cannot write to file: " through messages
    MessageSink* messages;
    Clock& clock;                     // Now() gives the time texts
    MessageSink* problems = nullptr;  // a monitor that is not interactive: where a log that
                                      // stops (and starts again) taking rows is reported
};

class LogWriter {
public:
    LogWriter();
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Directory = the profile's folder + "Logs/", base name = its file name without extension;
    // then OpenLog (no forced rotation) and, if asked, StartLogSection.
    void SetLogLocation(const std::string& profilePath, bool startSection, const LogContext& context);
    void OpenLog(bool forceRotation, const LogContext& context);
    void StartLogSection(const LogContext& context);
    // Statistics start: last sample and last logged values 0 for axisCount axes, row count 0.
    void ResetValues(int axisCount);
    // Statistics end: the value arrays are emptied.
    void ClearValues();
    // One finished sample, as its record gives it (scaled and classified).
    void WriteLogRow(std::span<const AxisSample> sample, const LogContext& context);
    void CleanLog(const LogContext& context);
    // Closes the log and lets another writer have it.
    void CloseLog();
    std::string GetLogPath() const;
    // The log is written by another writer (another program logging the same profile), so
    // this one leaves it alone until its location or log settings change.
    bool IsWrittenElsewhere() const;

private:
    void FormNames();
    bool TakeOwnership(const LogContext& context);
    void Rotate(bool force, const LogContext& context);
    bool CreateIfMissing(bool& created) const;
    void WriteHeader(const LogContext& context);
    bool Write(long long offset, std::string_view replaced, const LogContext& context);
    void ReportWrite(int error, const LogContext& context);
    long long RowOffset(const LogContext& context);
    void RotateWhenFull(const LogContext& context);
    bool FillCells(std::span<const AxisSample> sample, const LogContext& context);
    bool EqualAsLogged(double a, double b);

    LogFile file_;
    std::string lockPath_;       // the owner lock's file, beside the log
    LogOwnerLock owner_;         // held from the first opening until CloseLog
    bool writtenElsewhere_ = false;
    int format_ = 0;             // LogFormat the open file was opened with
    std::string directory_;      // empty until a location is set
    std::string baseName_;
    std::string currentName_;
    std::string backupName_;
    std::string path_;
    std::string backupPath_;
    std::string linkedBackup_;   // backup name a header of this opening links to
    std::vector<double> lastSample_;
    std::vector<double> lastLogged_;
    std::vector<bool> lastFailed_;
    std::vector<LogCell> cells_;
    // Reused for every write, so that writing allocates nothing once warm.
    LogText text_;
    AxisNameList axisNames_;
    std::string started_;
    std::string date_;
    std::string time_;
    std::string first_;
    std::string second_;
    int rowCount_ = 0;
    bool failing_ = false;       // the last write failed; reported once, until one succeeds
};

} // namespace quel
