#include "cli/render_command.h"

#include "cli/arguments.h"
#include "cli/log_render_command.h"
#include "cli/profile_loading.h"
#include "cli/rose_image.h"
#include "cli/stop_signal.h"
#include "engine/counter_monitor.h"

#include <chrono>
#include <iostream>
#include <memory>
#include <optional>

namespace quel::cli {

const char* const RenderHelp =
    "Usage: quelmonctl render PROFILE -o FILE.png|FILE.svg [--size WxH] [--wait SECONDS]\n"
    "       quelmonctl render --default -o FILE.png|FILE.svg [--size WxH] [--wait SECONDS]\n"
    "       quelmonctl render --log LOG --at TIME [--profile PROFILE] -o FILE.png|FILE.svg [--size WxH]\n"
    "\n"
    "Loads PROFILE (or, with --default, the standard counter set of this machine), samples its\n"
    "counters for SECONDS and paints the wind rose as the desktop program shows it, with the\n"
    "profile's colours and pens, into a PNG or SVG image. Needs no display.\n"
    "With --log, paints the wind rose of a moment in a log instead: the current line is the row\n"
    "at or just before TIME (\"YYYY-MM-DD HH:MM:SS\", local time), the average and maximal lines\n"
    "the mean and maximum of the rows up to it. The axes come from the log's profile (see\n"
    "\"quelmonctl report\") or PROFILE, matched to the columns by name; a column without an\n"
    "axis gets one with bounds from its values.\n"
    "\n"
    "Options:\n"
    "  -o FILE         the image to write; its extension (.png or .svg) chooses the format\n"
    "  --size WxH      size of the image in pixels (default 600x600)\n"
    "  --wait SECONDS  how long to sample first (default: the profile's Interval + 0.5)\n"
    "  --default       the standard counter set instead of a profile\n"
    "  --log LOG       a log to paint a moment of, with --at TIME and optionally --profile\n"
    "  -h, --help      show this help\n"
    "\n"
    "Example: quelmonctl render ~/monitor.qlmd -o rose.png --size 800x800\n";

namespace {

constexpr int MaxImageSide = 8192;
constexpr double MaxWaitSeconds = 3600.0;

struct RenderOptions {
    std::optional<std::string> profile;  // none: the standard counter set
    std::string output;
    ImageFormat format = ImageFormat::Png;
    int width = 600;
    int height = 600;
    std::optional<double> wait;
};

int ParseRenderOptions(const Arguments& args, RenderOptions& options, std::ostream& err)
{
    ParsedArguments parsed;
    std::string error;
    const std::vector<OptionRule> rules {
        {"-o", "", true}, {"", "--size", true}, {"", "--wait", true}, {"", "--default", false}};
    if (!ParseArguments(args, rules, parsed, error))
        return UsageError(err, "render", error);
    const bool standardSet = parsed.Has("--default");
    if (standardSet && !parsed.positional.empty())
        return UsageError(err, "render", "give a profile or --default, not both");
    if (!standardSet && parsed.positional.size() != 1)
        return UsageError(err, "render", parsed.positional.empty() ? "no profile given" : "give one profile");
    if (!standardSet)
        options.profile = parsed.positional.front();

    const std::optional<std::string> output = parsed.Value("-o");
    if (!output || output->empty())
        return UsageError(err, "render", "no image file given (-o FILE.png or -o FILE.svg)");
    options.output = *output;
    const std::optional<ImageFormat> format = ImageFormatOf(options.output);
    if (!format)
        return UsageError(err, "render", "-o \"" + options.output + "\": the file name must end in .png or .svg");
    options.format = *format;

    if (const auto size = parsed.Value("--size"); size && !ParseSize(*size, MaxImageSide, options.width, options.height))
        return UsageError(err, "render", "--size \"" + *size + "\": give WIDTHxHEIGHT, each 1..8192");
    if (const auto wait = parsed.Value("--wait")) {
        double seconds = 0.0;
        if (!ParseSeconds(*wait, MaxWaitSeconds, true, seconds))
            return UsageError(err, "render", "--wait \"" + *wait + "\": give seconds from 0 to 3600");
        options.wait = seconds;
    }
    return ExitSuccess;
}

// Sets the monitor up as the desktop program does for a profile or the standard counter set,
// with its log off.
bool PrepareMonitor(CounterMonitor& monitor, const RenderOptions& options, const std::string& profileText,
                    std::string& error)
{
    monitor.SetUpDefaultProfile();
    if (options.profile) {
        monitor.RemoveAllAxes();
        monitor.ResetSettings();
        if (!LoadProfileText(monitor, profileText, error))
            return false;
        monitor.ApplyDisplaySettings();
    }
    MonitorSettings settings = monitor.GetSettings();
    settings.LogMode = 0;
    monitor.ApplySettings(settings);
    return true;
}

bool WriteImage(CounterMonitor& monitor, const RenderOptions& options)
{
    return WriteRoseImage(monitor, RoseImage {options.output, options.format, options.width, options.height});
}

} // namespace

int RunRender(const Arguments& args, PerfDataSource& source, CommandStreams io)
{
    if (AsksForLogRender(args))
        return RunRenderLog(args, source, io);
    RenderOptions options;
    if (const int result = ParseRenderOptions(args, options, io.err); result != ExitSuccess)
        return result;
    std::string error;
    std::string profileText;
    if (options.profile && !ReadProfileText(*options.profile, profileText, error)) {
        ReportError(io.err, "render", "cannot read " + *options.profile + ": " + error);
        return ExitUsage;
    }

    const std::unique_ptr<QGuiApplication> application = MakeOffscreenApplication();
    MonitorEnvironment environment;
    environment.source = &source;
    CounterMonitor monitor(environment);
    if (!PrepareMonitor(monitor, options, profileText, error)) {
        ReportError(io.err, "render", "cannot read " + *options.profile + ": " + error);
        return ExitUsage;
    }

    StopSignal stop;
    if (!monitor.StartSampling(nullptr, false)) {
        ReportError(io.err, "render", "cannot start sampling");
        return ExitFindings;
    }
    const double wait = options.wait.value_or(monitor.GetInterval() + 0.5);
    const auto deadline = std::chrono::steady_clock::now()
                        + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(wait));
    const bool waited = StopSignal::SleepUntil(deadline);
    // Painted while sampling still runs: stopping marks every value as missing.
    const bool written = waited && WriteImage(monitor, options);
    monitor.StopSampling();
    if (!waited) {
        ReportError(io.err, "render", "interrupted; nothing written");
        return ExitFindings;
    }
    if (!written) {
        ReportError(io.err, "render", "cannot write " + options.output);
        return ExitFindings;
    }
    return ExitSuccess;
}

} // namespace quel::cli
