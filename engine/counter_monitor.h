#pragma once
// CounterMonitor: a wind rose whose axes are bound to performance counters. It owns the
// MonitorSettings, samples every counter on one background thread every Interval seconds,
// keeps per-axis statistics (current, running maximum, average over History samples), writes
// the three series (max, average, current) into the wind rose after each sample, asks its
// repaint target to repaint and hands the sample to its log.
//
// Locks: the process-wide SamplingControl lock (flags only) is always taken before the
// monitor lock (the wind rose's recursive lock), never the other way round.

#include "engine/critical_watch.h"
#include "engine/monitor_snapshot.h"
#include "log/log_writer.h"
#include "platform/clock.h"
#include "platform/perf_data_source.h"
#include "platform/user_interface.h"
#include "profile/monitor_settings.h"
#include "profile/profile_file.h"
#include "windrose/wind_rose.h"

#include <array>
#include <string>
#include <thread>
#include <vector>

namespace quel {

enum SeriesIndex : int {
    SeriesMax = 0,      // "Max Values"
    SeriesAverage = 1,  // "Historical Values"
    SeriesCurrent = 2,  // "Current Values"
};

// The counter path an axis carries as its data.
class CounterPathData final : public AxisData {
public:
    explicit CounterPathData(std::string path) : path(std::move(path)) {}
    std::string path;
};

// What the owner of a monitor supplies.
struct MonitorEnvironment {
    PerfDataSource* source = nullptr;   // required; outlives the monitor
    bool interactive = false;           // errors are reported through messages
    MessageSink* messages = nullptr;    // where an interactive monitor reports (may be null)
    MessageSink* problems = nullptr;    // where one that is not reports what it works around,
                                        // such as a log that cannot take rows (may be null)
    ScreenSize screen {1024, 768};      // for the default and the checked window rectangle
    Clock* clock = nullptr;             // null: SystemClock()
};

class CounterMonitor : public WindRose {
public:
    static constexpr int AxisSlots = 32;
    static constexpr int SeriesSlots = 4;
    static constexpr int HistoryCapacity = 120;

    explicit CounterMonitor(const MonitorEnvironment& environment);
    // Waits for a sampling thread that is still running to end, removes all axes, closes the log.
    ~CounterMonitor() override;

    // Profile file hooks.
    bool WriteAxisData(ConfigWriter& file, const AxisData& data) override;
    bool WriteExtraKeys(ConfigWriter& file) override;
    bool WriteHeader(ConfigWriter& file) override;
    AxisDataPtr ReadAxisKey(const std::string& key, const std::string& value) override;
    void ReadExtraKey(const std::string& key, const std::string& value) override;
    void FreeAxisData(AxisDataPtr data) override;
    // A profile's text, parsed as from its file; the window rectangle is fitted to the screen.
    int LoadFromText(std::string_view text) override;
    // A profile the gate has read from path: its text parsed, the log placed beside path.
    int LoadProfile(const std::string& path, const ProfileFile& file);
    // Any configuration file, read as the wind rose reads it; the log placed beside path.
    int LoadFromFile(const std::string& path) override;

    void SetUpDefaultProfile();
    void ApplyDisplaySettings();
    MonitorSettings GetSettings() const;
    int GetInterval() const;
    void ApplySettings(const MonitorSettings& settings);
    void ResetSettings();
    void SetStatusText(const std::string& text);
    std::string GetStatusText() const;

    // window may be null (no repaint). False when sampling is not idle or no thread starts.
    bool StartSampling(RepaintTarget* window, bool repaintAtStart);
    static constexpr std::uint32_t StopTimeLimitMilliseconds = 5000;
    // True once the thread has ended (at once when idle); false while starting or already
    // stopping, or when the thread has not ended within the time limit (5 s).
    bool StopSampling(std::uint32_t timeLimitMilliseconds = StopTimeLimitMilliseconds);
    void RequestSample();
    void ResetMaxValues();
    bool IsInteractive() const { return environment_.interactive; }
    RepaintTarget* GetNotifyWindow() const;
    // The counter path of an axis ("" when it has none).
    bool GetCounterPath(int axis, std::string& path) const;
    // Statistics of an axis while sampling runs: current (-1.0 after a failed read), maximum
    // and average. False outside statistics or for a bad index.
    bool GetStatistics(int axis, double& current, double& maximum, double& average) const;
    // The axes with the values of the last finished sample, and the sample totals, all as of
    // one moment (never a sample half-taken).
    void GetSnapshot(MonitorSnapshot& snapshot) const;
    // The axes that turned critical or back to normal and are due to be told (CriticalWatch).
    void TakeCriticalChanges(std::vector<CriticalChange>& changes) { criticalWatch_.TakeDue(changes); }

    // Status text (word-wrapped, centred) or the wind rose, into rect.
    void Draw(Surface& surface, const Rect& rect);

    // Log operations (all under the monitor lock).
    void SetLogLocation(const std::string& profilePath, bool startSection);
    void CleanLog();
    void CloseLog();
    std::string GetLogPath() const;
    // Another program writes this profile's log, so this monitor samples without logging.
    bool IsLogWrittenElsewhere() const;

    const ScreenSize& GetScreenSize() const { return environment_.screen; }
    PerfDataSource& GetSource() const { return *environment_.source; }
    Clock& GetClock() const { return clock_; }

private:
    void SamplingThread();
    void BeginStatistics();
    std::vector<std::string> CriticalWatchNames() const;
    void FinishLoad();
    void UpdateStatistics(std::size_t axis, AxisSample& sample);
    void RecordFailure(int axis);
    void FinishSample(std::span<AxisSample> record);
    void PublishSample(std::span<const AxisSample> record);
    void EndStatistics();
    void ReportMessage(const std::string& text);
    LogContext MakeLogContext();
    void SampleLoop(PerfQueryHandle query, const std::vector<PerfCounterHandle>& counters, RepaintTarget* window);
    static std::uint32_t PollsUntilDue(std::uint32_t elapsed, std::uint32_t interval);
    void WaitForPoll(std::uint32_t polls);
    void JoinFinishedThread();

    MonitorEnvironment environment_;
    Clock& clock_;
    RepaintTarget* notifyWindow_ = nullptr;
    MonitorSettings settings_;
    std::string statusText_;
    std::vector<std::array<double, HistoryCapacity>> history_;
    std::vector<double> maxValues_;
    std::vector<double> currentValues_;
    std::vector<double> averageValues_;
    int ringIndex_ = 0;
    int samplesTaken_ = 0;
    // The last finished sample, as GetSnapshot hands it out (sized when statistics begin).
    struct PublishedValues {
        double current = 0.0, average = 0.0, maximum = 0.0;
        bool hasCurrent = false, critical = false;
    };
    std::vector<PublishedValues> published_;
    bool hasPublished_ = false;
    std::uint64_t samplesTotal_ = 0;
    std::uint64_t failedReadsTotal_ = 0;
    std::time_t lastSampleTime_ = 0;
    std::thread thread_;
    LogWriter log_;
    CriticalWatch criticalWatch_ {clock_};
};

} // namespace quel
