#include "cli/log_render_command.h"

#include "cli/arguments.h"
#include "cli/log_profile.h"
#include "cli/report_time.h"
#include "cli/rose_image.h"
#include "engine/log_moment_rose.h"
#include "log/log_reader.h"
#include "log/log_summary.h"

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

// The moment's values on the columns' axes (a column without one gets its own, with a note);
// axes without a column show N/A.
void ShowRow(CounterMonitor& monitor, const LogData& log, std::size_t row, std::ostream& err)
{
    const LogHistory history(log);
    const ColumnAxes placed = PlaceColumns(monitor, history);
    for (const std::string& note : placed.notes)
        ReportError(err, "render", "note: " + note);
    ShowMoment(monitor, placed.axis, history.MomentAt(row));
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
    ShowRow(monitor, log, *row, io.err);
    if (!WriteRoseImage(monitor, options.image)) {
        ReportError(io.err, "render", "cannot write " + options.image.path);
        return ExitFindings;
    }
    return reading.status == LogReadStatus::Damaged ? ExitFindings : ExitSuccess;
}

} // namespace quel::cli
