#include "cli/log_render_command.h"

#include "cli/arguments.h"
#include "cli/log_profile.h"
#include "cli/report_time.h"
#include "cli/rose_image.h"
#include "log/log_reader.h"
#include "log/log_summary.h"
#include "windrose/number_text.h"

#include <algorithm>
#include <limits>

namespace quel::cli {
namespace {

constexpr int MaxImageSide = 8192;

struct LogRenderOptions {
    std::string log;
    std::time_t at = 0;
    std::optional<std::string> profile;
    RoseImage image;
};

int ParseLogRenderOptions(const Arguments& args, LogRenderOptions& options, std::ostream& err)
{
    ParsedArguments parsed;
    std::string error;
    const std::vector<OptionRule> rules {
        {"", "--log", true}, {"", "--at", true}, {"", "--profile", true}, {"-o", "", true}, {"", "--size", true}};
    if (!ParseArguments(args, rules, parsed, error))
        return UsageError(err, "render", error);
    if (!parsed.positional.empty())
        return UsageError(err, "render", "give the log with --log and no profile before it");
    options.log = parsed.Value("--log").value_or("");
    if (options.log.empty())
        return UsageError(err, "render", "no log given (--log LOG)");
    const std::optional<std::string> at = parsed.Value("--at");
    const std::optional<std::time_t> time = at ? ParseReportTime(*at) : std::nullopt;
    if (!time)
        return UsageError(err, "render", at ? "--at \"" + *at + "\": give \"YYYY-MM-DD HH:MM:SS\"" : "no moment given (--at TIME)");
    options.at = *time;
    options.profile = parsed.Value("--profile");
    options.image.path = parsed.Value("-o").value_or("");
    if (options.image.path.empty())
        return UsageError(err, "render", "no image file given (-o FILE.png or -o FILE.svg)");
    const std::optional<ImageFormat> format = ImageFormatOf(options.image.path);
    if (!format)
        return UsageError(err, "render", "-o \"" + options.image.path + "\": the file name must end in .png or .svg");
    options.image.format = *format;
    if (const auto size = parsed.Value("--size");
        size && !ParseSize(*size, MaxImageSide, options.image.width, options.image.height))
        return UsageError(err, "render", "--size \"" + *size + "\": give WIDTHxHEIGHT, each 1..8192");
    return ExitSuccess;
}

// An axis for a column the profile has none for: from 0 (or its lowest value) to its highest.
int AddColumnAxis(CounterMonitor& monitor, const LogData& log, std::size_t column, std::ostream& err)
{
    double low = 0.0;
    double high = -std::numeric_limits<double>::infinity();
    for (std::size_t row = 0; row < log.RowCount(); ++row) {
        const double value = log.Value(row, column);
        if (LogData::IsAvailable(value)) {
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }
    if (!(high > low))
        high = low + 1.0;
    const std::string& name = log.columns[column];
    if (!monitor.AddAxis(name, "", 0, low, high, high, 1.0, nullptr)) {
        ReportError(err, "render", "note: column \"" + name + "\" left out: the wind rose has no room for more axes");
        return -1;
    }
    ReportError(err, "render", "note: column \"" + name + "\" has no axis in the profile: drawn from " +
                                   FormatFixed(low, 2) + " to " + FormatFixed(high, 2) + ", its values' bounds");
    return monitor.GetAxisCount() - 1;
}

// The raw value that the axis shows as the logged value (the inverse of its scaling).
double RawValue(const CounterMonitor& monitor, int axis, double logged)
{
    double multiplier = 1.0;
    double maximum = 0.0;
    std::uint8_t inverse = 0;
    monitor.GetAxisMultiplier(axis, multiplier);
    monitor.GetAxisMax(axis, maximum);
    monitor.GetAxisInverse(axis, inverse);
    return (inverse != 0 ? maximum - logged : logged) * multiplier;
}

void SetSeries(CounterMonitor& monitor, int axis, int series, double logged)
{
    if (!LogData::IsAvailable(logged)) {
        monitor.SetValue(axis, 0.0, series);
        monitor.SetValueState(axis, NoData, series);
        return;
    }
    monitor.SetValue(axis, RawValue(monitor, axis, logged), series);
}

// The moment's values on the columns' axes; axes without a column show N/A.
void ShowMoment(CounterMonitor& monitor, const LogData& log, std::size_t row, std::ostream& err)
{
    std::vector<std::optional<int>> axes = MatchColumnsToAxes(log, monitor);
    for (int axis = 0; axis < monitor.GetAxisCount(); ++axis) {
        for (const int series : {SeriesMax, SeriesAverage, SeriesCurrent})
            SetSeries(monitor, axis, series, std::numeric_limits<double>::quiet_NaN());
    }
    const std::vector<ColumnMoment> moment = MomentAt(log, row);
    for (std::size_t c = 0; c < moment.size(); ++c) {
        const int axis = axes[c] ? *axes[c] : AddColumnAxis(monitor, log, c, err);
        if (axis < 0)
            continue;
        SetSeries(monitor, axis, SeriesMax, moment[c].maximum);
        SetSeries(monitor, axis, SeriesAverage, moment[c].average);
        SetSeries(monitor, axis, SeriesCurrent, moment[c].current);
    }
}

} // namespace

bool AsksForLogRender(const Arguments& args)
{
    for (const std::string& arg : args) {
        if (arg == "--")
            return false;
        if (arg == "--log" || arg.starts_with("--log="))
            return true;
    }
    return false;
}

int RunRenderLog(const Arguments& args, PerfDataSource& source, CommandStreams io)
{
    LogRenderOptions options;
    if (const int result = ParseLogRenderOptions(args, options, io.err); result != ExitSuccess)
        return result;
    LogData log;
    const LogReading reading = ReadLog(options.log, log);
    if (reading.status == LogReadStatus::Refused) {
        ReportError(io.err, "render", "cannot read " + options.log + ": " + reading.message);
        return ExitUsage;
    }
    if (reading.status == LogReadStatus::Damaged)
        ReportError(io.err, "render", "note: " + options.log + ": read up to the damage: " + reading.message);
    const std::optional<TimeSpan> span = LogSpan(log);
    const std::optional<std::size_t> row = RowAt(log, options.at);
    if (!row || options.at > span->to) {
        ReportError(io.err, "render", span ? "the time asked lies outside the log, which spans " + ReportTimeText(span->from) +
                                                 " to " + ReportTimeText(span->to)
                                           : "the log has no rows");
        return ExitUsage;
    }

    const std::unique_ptr<QGuiApplication> application = MakeOffscreenApplication();
    MonitorEnvironment environment;
    environment.source = &source;
    CounterMonitor monitor(environment);
    monitor.SetUpDefaultProfile();
    monitor.RemoveAllAxes();
    LogProfile profile;
    std::string error;
    if (!LoadLogProfile(monitor, options.profile, options.log, log, profile, error)) {
        ReportError(io.err, "render", error);
        return ExitUsage;
    }
    if (!profile.note.empty())
        ReportError(io.err, "render", "note: " + profile.note);
    MonitorSettings settings = monitor.GetSettings();
    settings.LogMode = 0;
    monitor.ApplySettings(settings);
    monitor.ApplyDisplaySettings();
    monitor.SetStatusText("");
    ShowMoment(monitor, log, *row, io.err);
    if (!WriteRoseImage(monitor, options.image)) {
        ReportError(io.err, "render", "cannot write " + options.image.path);
        return ExitFindings;
    }
    return reading.status == LogReadStatus::Damaged ? ExitFindings : ExitSuccess;
}

} // namespace quel::cli
