#include "engine/counter_monitor.h"

#include "engine/sampling_control.h"
#include "engine/standard_counter_set.h"

#include <algorithm>
#include <optional>
#include <system_error>

namespace quel {
namespace {

constexpr std::uint32_t PollMilliseconds = 100;
// The longest the sampling thread sleeps through idle polls, so a new Interval applies soon.
constexpr std::uint32_t LongestWaitMilliseconds = 2000;
constexpr std::uint32_t StopPollMilliseconds = 10;

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

} // namespace

CounterMonitor::CounterMonitor(const MonitorEnvironment& environment)
    : WindRose(AxisSlots, SeriesSlots),
      environment_(environment),
      clock_(environment.clock ? *environment.clock : SystemClock()),
      settings_(DefaultMonitorSettings(environment.screen))
{
    LocalizeStandardPaths(*environment_.source);
}

CounterMonitor::~CounterMonitor()
{
    // Owners stop sampling first; a thread that is still running (a stop that gave up after
    // 5 s, or none asked) is told to end and waited for, so it never touches a dead monitor.
    {
        SamplingControl& control = SamplingControl::Instance();
        std::lock_guard guard(control.lock);
        if (control.running && control.monitor == this)
            control.stopRequested = true;
    }
    SamplingControl::Instance().wake.notify_all();
    if (thread_.joinable())
        thread_.join();
    RemoveAllAxes();
    CloseLog();
}

// --- profile hooks ---------------------------------------------------------------------------

bool CounterMonitor::WriteAxisData(ConfigWriter& file, const AxisData& data)
{
    if (const auto* counter = dynamic_cast<const CounterPathData*>(&data))
        WriteCounterLine(file, counter->path);
    return true;
}

bool CounterMonitor::WriteExtraKeys(ConfigWriter& file)
{
    WriteSettingsKeys(file, settings_);
    return true;
}

bool CounterMonitor::WriteHeader(ConfigWriter& file)
{
    WriteProfileHeader(file);
    return true;
}

AxisDataPtr CounterMonitor::ReadAxisKey(const std::string& key, const std::string& value)
{
    if (key == CounterKey)
        return std::make_unique<CounterPathData>(value);
    return nullptr;
}

void CounterMonitor::ReadExtraKey(const std::string& key, const std::string& value)
{
    ReadSettingsKey(settings_, key, value);
}

void CounterMonitor::FreeAxisData(AxisDataPtr data)
{
    data.reset();
}

// After a load, whether it succeeded or not: a window rectangle off the screen gives way to the
// default one, and the profile counts as unmodified.
void CounterMonitor::FinishLoad()
{
    WindRoseLock guard(*this);
    if (!WindowRectFits(settings_, environment_.screen)) {
        const Rect rect = DefaultWindowRect(environment_.screen);
        settings_.WndLeft = rect.left;
        settings_.WndTop = rect.top;
        settings_.WndRight = rect.right;
        settings_.WndBottom = rect.bottom;
    }
    SetModified(0);
}

int CounterMonitor::LoadFromText(std::string_view text)
{
    const int result = WindRose::LoadFromText(text);
    FinishLoad();
    return result;
}

int CounterMonitor::LoadProfile(const std::string& path, const ProfileFile& file)
{
    if (!file.IsProfile()) {
        FinishLoad();
        return 0;
    }
    if (!LoadFromText(file.Text()))
        return 0;
    WindRoseLock guard(*this);
    log_.SetLogLocation(path, false, MakeLogContext());
    return 1;
}

int CounterMonitor::LoadFromFile(const std::string& path)
{
    const int result = WindRose::LoadFromFile(path);
    FinishLoad();
    if (result) {
        WindRoseLock guard(*this);
        log_.SetLogLocation(path, false, MakeLogContext());
    }
    return result;
}

// --- settings and appearance -----------------------------------------------------------------

void CounterMonitor::SetUpDefaultProfile()
{
    WindRoseLock guard(*this);
    FontDesc font;
    font.face = "MS Sans Serif";
    font.height = 12;
    SetFont(&font);
    SetTextColors(MakeRgb(255, 255, 255), MakeRgb(0, 0, 0));
    SetGridPen(PenSolid, 1, 0x808080);
    SetAxisPen(PenSolid, 1, 0x808080);
    SetCriticalPen(PenSolid, 1, 0x0000FF);
    RemoveAllSeries();
    AddSeries("Max Values", "");
    AddSeries("Historical Values", "");
    AddSeries("Current Values", "");
    BuildStandardCounterSet(true, DefaultStandardCounters, *this);
    ApplyDisplaySettings();
    SetModified(0);
}

void CounterMonitor::ApplyDisplaySettings()
{
    WindRoseLock guard(*this);
    const MonitorSettings& s = settings_;
    SetSeriesTextColors(SeriesMax, s.MaxColor, NoColor);
    SetSeriesTextColors(SeriesAverage, s.AvgColor, NoColor);
    SetSeriesTextColors(SeriesCurrent, s.CurColor, NoColor);
    ShowSeries(SeriesMax, s.ShowMax);
    ShowSeries(SeriesAverage, s.ShowAverage);
    ShowSeries(SeriesCurrent, s.ShowCurrent);
    SetGridPen(PenSolid, 1, s.LineColor);
    SetAxisPen(PenSolid, 1, s.LineColor);
    SetCriticalPen(PenSolid, s.BoldCrit ? 2 : 1, s.CritColor);
    SetTextColors(s.TextColor, s.BackColor);
    SetSeriesPenAt(SeriesMax, PenSolid, s.BoldMax ? 2 : 1, s.MaxColor);
    SetSeriesPenAt(SeriesAverage, PenSolid, s.BoldAvg ? 2 : 1, s.AvgColor);
    SetSeriesPenAt(SeriesCurrent, PenSolid, s.BoldCur ? 2 : 1, s.CurColor);
}

MonitorSettings CounterMonitor::GetSettings() const
{
    WindRoseLock guard(*this);
    return settings_;
}

int CounterMonitor::GetInterval() const
{
    WindRoseLock guard(*this);
    return settings_.Interval;
}

void CounterMonitor::ApplySettings(const MonitorSettings& settings)
{
    WindRoseLock guard(*this);
    MonitorSettings taken = settings;
    if (InRange(settings.Interval, MinInterval, MaxInterval) && settings.Interval != settings_.Interval) {
        settings_.Interval = settings.Interval;
        SetModified(1);
    }
    if (InRange(settings.History, MinHistory, MaxHistory) && settings.History != settings_.History) {
        ringIndex_ = 0;
        samplesTaken_ = 0;
        settings_.History = settings.History;
        SetModified(1);
    }
    if (settings.LogFileSize != settings_.LogFileSize)
        SetModified(1);
    if (settings.LogFormat != settings_.LogFormat || settings.LogMode != settings_.LogMode) {
        SetModified(1);
        settings_.LogFormat = settings.LogFormat;
        settings_.LogMode = settings.LogMode;
        const LogContext context = MakeLogContext();
        log_.OpenLog(false, context);
        log_.StartLogSection(context);
    }
    // An Interval or History out of range is never taken: the history ring depends on it.
    taken.Interval = settings_.Interval;
    taken.History = settings_.History;
    settings_ = taken;
}

void CounterMonitor::ResetSettings()
{
    WindRoseLock guard(*this);
    settings_ = DefaultMonitorSettings(environment_.screen);
    ResetDisplayOptions();
    ApplyDisplaySettings();
}

void CounterMonitor::SetStatusText(const std::string& text)
{
    WindRoseLock guard(*this);
    statusText_ = text;
}

std::string CounterMonitor::GetStatusText() const
{
    WindRoseLock guard(*this);
    return statusText_;
}

RepaintTarget* CounterMonitor::GetNotifyWindow() const
{
    WindRoseLock guard(*this);
    return notifyWindow_;
}

bool CounterMonitor::GetCounterPath(int axis, std::string& path) const
{
    WindRoseLock guard(*this);
    const AxisData* data = nullptr;
    if (!GetAxisData(axis, data))
        return false;
    const auto* counter = dynamic_cast<const CounterPathData*>(data);
    path = counter ? counter->path : std::string();
    return true;
}

bool CounterMonitor::GetStatistics(int axis, double& current, double& maximum, double& average) const
{
    WindRoseLock guard(*this);
    if (axis < 0 || static_cast<std::size_t>(axis) >= currentValues_.size())
        return false;
    current = currentValues_[axis];
    maximum = maxValues_[axis];
    average = averageValues_[axis];
    return true;
}

void CounterMonitor::GetSnapshot(MonitorSnapshot& snapshot) const
{
    WindRoseLock guard(*this);
    const int count = GetAxisCount();
    snapshot.axes.resize(static_cast<std::size_t>(count));
    for (int axis = 0; axis < count; ++axis) {
        AxisSnapshot& out = snapshot.axes[static_cast<std::size_t>(axis)];
        std::optional<std::string> name;
        GetAxisName(axis, name);
        out.name = name.value_or(std::string());
        GetCounterPath(axis, out.path);
        GetAxisMin(axis, out.minValue);
        GetAxisMax(axis, out.maxValue);
        GetAxisCritical(axis, out.criticalValue);
        GetAxisMultiplier(axis, out.multiplier);
        std::uint8_t inverse = 0;
        GetAxisInverse(axis, inverse);
        out.inverse = inverse != 0;
        const PublishedValues values = static_cast<std::size_t>(axis) < published_.size() && hasPublished_
                                           ? published_[static_cast<std::size_t>(axis)]
                                           : PublishedValues {};
        out.current = values.current;
        out.average = values.average;
        out.maximum = values.maximum;
        out.hasCurrent = values.hasCurrent;
        out.critical = values.critical;
    }
    snapshot.samplesTotal = samplesTotal_;
    snapshot.failedReadsTotal = failedReadsTotal_;
    snapshot.lastSampleTime = lastSampleTime_;
    snapshot.hasSample = hasPublished_;
}

// --- sampling --------------------------------------------------------------------------------

bool CounterMonitor::StartSampling(RepaintTarget* window, bool repaintAtStart)
{
    SamplingControl& control = SamplingControl::Instance();
    {
        std::lock_guard guard(control.lock);
        if (control.running)
            return false;
        control.monitor = this;
        control.running = true;
        control.starting = true;
        control.stopRequested = false;
        control.repaintAtStart = repaintAtStart;
    }
    JoinFinishedThread();
    {
        WindRoseLock guard(*this);
        notifyWindow_ = window;
    }
    std::thread thread;
    try {
        thread = std::thread(&CounterMonitor::SamplingThread, this);
    } catch (const std::system_error&) {
        std::lock_guard guard(control.lock);
        control.running = false;
        control.starting = false;
        control.monitor = nullptr;
        return false;
    }
    WindRoseLock guard(*this);
    thread_ = std::move(thread);
    return true;
}

bool CounterMonitor::StopSampling(std::uint32_t timeLimitMilliseconds)
{
    SamplingControl& control = SamplingControl::Instance();
    bool idle = false;
    {
        std::lock_guard guard(control.lock);
        if (control.starting || control.stopRequested)
            return false;
        idle = !control.running;
        if (!idle)
            control.stopRequested = true;
    }
    control.wake.notify_all();
    if (idle) {
        JoinFinishedThread();
        return true;
    }
    std::uint32_t elapsed = 0;
    std::uint32_t previous = clock_.TickCount();
    for (;;) {
        {
            std::lock_guard guard(control.lock);
            if (!control.running)
                break;
        }
        const std::uint32_t now = clock_.TickCount();
        elapsed += now >= previous ? now - previous : now;  // a wrapped tick adds the new value
        previous = now;
        if (elapsed > timeLimitMilliseconds)
            return false;
        clock_.Sleep(StopPollMilliseconds);
    }
    JoinFinishedThread();
    return true;
}

// The thread object of a sampling thread that has ended (or is about to: running is clear).
void CounterMonitor::JoinFinishedThread()
{
    std::thread finished;
    {
        WindRoseLock guard(*this);
        finished = std::move(thread_);
    }
    if (finished.joinable())
        finished.join();
}

void CounterMonitor::RequestSample()
{
    SamplingControl& control = SamplingControl::Instance();
    {
        std::lock_guard guard(control.lock);
        control.sampleNow = true;
    }
    control.wake.notify_all();
}

void CounterMonitor::SamplingThread()
{
    SamplingControl& control = SamplingControl::Instance();
    bool stop = false;
    bool repaintAtStart = false;
    {
        std::lock_guard guard(control.lock);
        control.starting = false;
        stop = control.stopRequested;
        repaintAtStart = control.repaintAtStart;
        if (!stop)
            BeginStatistics();
    }

    PerfDataSource& source = *environment_.source;
    PerfQueryHandle query = nullptr;
    std::vector<PerfCounterHandle> counters;
    if (!stop) {
        RepaintTarget* window = nullptr;
        int axisCount = 0;
        {
            WindRoseLock guard(*this);
            window = notifyWindow_;
            axisCount = GetAxisCount();
        }
        counters.assign(static_cast<std::size_t>(axisCount), nullptr);
        if (repaintAtStart && window)
            window->Invalidate();
        const bool opened = source.OpenQuery(query) == perf_status::Ok;
        if (!opened)
            query = nullptr;
        if (!opened && environment_.interactive) {
            ReportMessage("Cannot create a query for performance data.");
        } else {
            std::string path;
            for (int i = 0; i < axisCount; ++i) {
                GetCounterPath(i, path);
                source.AddCounter(query, path, counters[static_cast<std::size_t>(i)]);
            }
            SampleLoop(query, counters, window);
        }
    }

    EndStatistics();
    for (PerfCounterHandle counter : counters) {
        if (counter)
            source.RemoveCounter(counter);
    }
    if (query)
        source.CloseQuery(query);
    std::lock_guard guard(control.lock);
    control.running = false;
    control.starting = false;
    control.stopRequested = false;
}

// Polls on a 100 ms grid: samples at the first poll at which more than Interval seconds have
// passed since the last sample, or at once when asked. The first collection only primes the
// counters, and the poll after it takes the first sample. Polls at which nothing would happen
// are slept through (at most 2 s at a time), and a stop or a sample request wakes the thread.
// The status text is cleared with the first sample, so the diagram never shows zeros before it.
void CounterMonitor::SampleLoop(PerfQueryHandle query, const std::vector<PerfCounterHandle>& counters,
                                RepaintTarget* window)
{
    SamplingControl& control = SamplingControl::Instance();
    PerfDataSource& source = *environment_.source;
    std::uint32_t elapsed = 0;
    std::uint32_t previous = 0;
    bool primed = false;
    bool sampled = false;
    bool sampleNext = false;
    // The sample being taken; sized once, so that sampling allocates nothing once warm.
    std::vector<AxisSample> record(counters.size());
    for (;;) {
        bool sampleNow = false;
        {
            std::lock_guard guard(control.lock);
            if (control.stopRequested)
                break;
            sampleNow = control.sampleNow;
            control.sampleNow = false;
        }
        const std::uint32_t now = clock_.TickCount();
        elapsed += now - previous;
        const std::uint32_t interval = static_cast<std::uint32_t>(GetInterval()) * 1000u;
        if (!primed || sampleNext || elapsed > interval || sampleNow) {
            source.CollectQueryData(query);
            if (primed) {
                for (std::size_t i = 0; i < counters.size(); ++i) {
                    double value = 0.0;
                    AxisSample& axis = record[i];
                    axis.read = source.GetFormattedCounterValue(counters[i], value) == perf_status::Ok;
                    axis.raw = axis.read ? value : -1.0;
                }
                FinishSample(record);
                // The status text ("Loading...") gives way to the diagram once it has values.
                if (!sampled)
                    SetStatusText("");
                sampled = true;
                if (window)
                    window->Invalidate();
                elapsed = 0;
            }
            sampleNext = !primed;
            primed = true;
        }
        WaitForPoll(sampleNext ? 1 : PollsUntilDue(elapsed, interval));
        previous = now;
    }
}

// The number of polls until more than interval milliseconds will have elapsed.
std::uint32_t CounterMonitor::PollsUntilDue(std::uint32_t elapsed, std::uint32_t interval)
{
    return elapsed < interval ? (interval - elapsed) / PollMilliseconds + 1 : 1;
}

void CounterMonitor::WaitForPoll(std::uint32_t polls)
{
    SamplingControl& control = SamplingControl::Instance();
    const std::uint32_t wait = std::min(polls * PollMilliseconds, LongestWaitMilliseconds);
    std::unique_lock guard(control.lock);
    clock_.WaitFor(guard, control.wake, wait, [&control] { return control.stopRequested || control.sampleNow; });
}

void CounterMonitor::BeginStatistics()
{
    WindRoseLock guard(*this);
    const std::size_t axes = static_cast<std::size_t>(GetAxisCount());
    maxValues_.assign(axes, 0.0);
    currentValues_.assign(axes, 0.0);
    averageValues_.assign(axes, 0.0);
    published_.assign(axes, PublishedValues {});
    hasPublished_ = false;
    history_.assign(axes, {});
    ringIndex_ = 0;
    samplesTaken_ = 0;
    log_.ResetValues(static_cast<int>(axes));
    log_.StartLogSection(MakeLogContext());
    criticalWatch_.Reset(CriticalWatchNames());
}

// The axes' names as notifications give them; an axis without one by its number.
std::vector<std::string> CounterMonitor::CriticalWatchNames() const
{
    std::vector<std::string> names;
    for (int axis = 0; axis < GetAxisCount(); ++axis) {
        std::optional<std::string> name;
        GetAxisName(axis, name);
        names.push_back(name && !name->empty() ? *name : "Axis " + std::to_string(axis + 1));
    }
    return names;
}

// The statistics of one axis: the current value joins the History ring, whose mean is the
// average, and the maximum. A failed read leaves them as they were.
void CounterMonitor::UpdateStatistics(std::size_t axis, AxisSample& sample)
{
    if (axis >= currentValues_.size()) {
        sample.read = false;
        sample.raw = -1.0;
        return;
    }
    currentValues_[axis] = sample.raw;
    if (sample.read) {
        auto& ring = history_[axis];
        ring[static_cast<std::size_t>(ringIndex_)] = sample.raw;
        const int history = std::clamp(settings_.History, 1, HistoryCapacity);
        const int n = samplesTaken_ < history ? samplesTaken_ + 1 : history;
        double sum = 0.0;
        for (int k = 0; k < n; ++k)
            sum += ring[static_cast<std::size_t>(k)];
        averageValues_[axis] = sum / (n == 0 ? 1 : n);
        maxValues_[axis] = std::max(maxValues_[axis], sample.raw);
    }
    sample.rawAverage = averageValues_[axis];
    sample.rawMaximum = maxValues_[axis];
}

// One finished sample under one hold of the monitor lock: the statistics, then the record is
// scaled and classified once and handed to the diagram, the published snapshot and the log.
void CounterMonitor::FinishSample(std::span<AxisSample> record)
{
    WindRoseLock guard(*this);
    for (std::size_t i = 0; i < record.size(); ++i)
        UpdateStatistics(i, record[i]);
    ApplySample(record.first(std::min(record.size(), static_cast<std::size_t>(GetAxisCount()))), SeriesMax,
                SeriesAverage, SeriesCurrent);
    criticalWatch_.Record(record);
    ++ringIndex_;
    if (samplesTaken_ < HistoryCapacity)
        ++samplesTaken_;
    if (ringIndex_ >= std::clamp(settings_.History, 1, HistoryCapacity))
        ringIndex_ = 0;
    PublishSample(record);
    log_.WriteLogRow(record, MakeLogContext());
}

// Copies the finished sample for GetSnapshot (no allocation: the vector was sized at start).
// A value is critical there as in the log and the alert rules: at or above the critical value.
void CounterMonitor::PublishSample(std::span<const AxisSample> record)
{
    const std::size_t axes = std::min(published_.size(), record.size());
    for (std::size_t i = 0; i < axes; ++i) {
        const AxisSample& sample = record[i];
        PublishedValues& out = published_[i];
        out.current = sample.raw;
        out.average = sample.rawAverage;
        out.maximum = sample.rawMaximum;
        out.hasCurrent = sample.read;
        out.critical = sample.atCritical;
        if (!out.hasCurrent)
            ++failedReadsTotal_;
    }
    hasPublished_ = true;
    ++samplesTotal_;
    lastSampleTime_ = clock_.Now();
}

void CounterMonitor::RecordFailure(int axis)
{
    WindRoseLock guard(*this);
    if (static_cast<std::size_t>(axis) < currentValues_.size())
        currentValues_[static_cast<std::size_t>(axis)] = -1.0;
    for (int series : {SeriesMax, SeriesAverage, SeriesCurrent}) {
        SetValue(axis, 0.0, series);
        SetValueState(axis, NoData, series);
    }
}

void CounterMonitor::EndStatistics()
{
    WindRoseLock guard(*this);
    published_.clear();
    hasPublished_ = false;
    for (int axis = 0; axis < GetAxisCount(); ++axis)
        RecordFailure(axis);
    history_.clear();
    maxValues_.clear();
    currentValues_.clear();
    averageValues_.clear();
    log_.ClearValues();
}

void CounterMonitor::ResetMaxValues()
{
    WindRoseLock guard(*this);
    for (std::size_t i = 0; i < currentValues_.size(); ++i) {
        const int axis = static_cast<int>(i);
        int state = Normal;
        if (!GetValueState(axis, state, SeriesMax))
            continue;
        SetValue(axis, currentValues_[i], SeriesMax);
        SetValueState(axis, state, SeriesMax);
    }
    std::fill(maxValues_.begin(), maxValues_.end(), 0.0);
}

// --- drawing ---------------------------------------------------------------------------------

void CounterMonitor::Draw(Surface& surface, const Rect& rect)
{
    std::string text;
    ColorRef textColor = 0;
    ColorRef backColor = 0;
    {
        WindRoseLock guard(*this);
        text = statusText_;
        textColor = settings_.TextColor;
        backColor = settings_.BackColor;
    }
    if (text.empty()) {
        Paint(surface, rect);
        return;
    }
    const ColorRef oldText = surface.SetTextColor(textColor);
    const ColorRef oldBack = surface.SetBkColor(backColor);
    const unsigned flags = TextCenter | TextWordBreak;
    const Size box = surface.MeasureText(text, flags, static_cast<int>(0.9 * rect.Width()));
    const int left = rect.left + (rect.Width() - box.cx) / 2;
    const int top = rect.top + (rect.Height() - box.cy) / 2;
    surface.DrawText(text, Rect {left, top, left + box.cx, top + box.cy}, flags);
    surface.SetTextColor(oldText);
    surface.SetBkColor(oldBack);
}

// --- log -------------------------------------------------------------------------------------

LogContext CounterMonitor::MakeLogContext()
{
    return LogContext {*this, settings_, environment_.interactive, environment_.messages, clock_, environment_.problems};
}

void CounterMonitor::SetLogLocation(const std::string& profilePath, bool startSection)
{
    WindRoseLock guard(*this);
    log_.SetLogLocation(profilePath, startSection, MakeLogContext());
}

void CounterMonitor::CleanLog()
{
    WindRoseLock guard(*this);
    log_.CleanLog(MakeLogContext());
}

void CounterMonitor::CloseLog()
{
    WindRoseLock guard(*this);
    log_.CloseLog();
}

std::string CounterMonitor::GetLogPath() const
{
    WindRoseLock guard(*this);
    return log_.GetLogPath();
}

bool CounterMonitor::IsLogWrittenElsewhere() const
{
    WindRoseLock guard(*this);
    return log_.IsWrittenElsewhere();
}

void CounterMonitor::ReportMessage(const std::string& text)
{
    if (environment_.interactive && environment_.messages)
        environment_.messages->ShowMessage(text);
}

} // namespace quel
