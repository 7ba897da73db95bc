#include "cli/check_command.h"

#include "cli/arguments.h"
#include "cli/profile_check.h"
#include "cli/profile_loading.h"
#include "engine/counter_monitor.h"
#include "platform/regular_file.h"

namespace quel::cli {

const char* const CheckHelp =
    "Usage: quelmonctl check PROFILE [--screen WxH]\n"
    "\n"
    "Reads PROFILE as the programs do and reports on the standard error, as FILE:LINE: text,\n"
    "every line they would ignore or correct: unknown keys, keys with blanks around \"=\",\n"
    "keys in the wrong place, values that do not read as written, Interval or History out of\n"
    "range (the previous value stays), repeated keys, axis bounds out of order, a zero\n"
    "multiplier, counter paths that name no counter, axes beyond 32 and a window rectangle\n"
    "off the screen. Then prints the profile to the standard output as the programs would\n"
    "save it.\n"
    "\n"
    "Exit status: 0 nothing to report, 1 something reported, 2 the file cannot be read or is\n"
    "not a profile (the programs refuse it too).\n"
    "\n"
    "Options:\n"
    "  --screen WxH  the screen the window rectangle must fit (default 1024x768)\n"
    "  -h, --help    show this help\n"
    "\n"
    "Example: quelmonctl check ~/monitor.qlmd > fixed.qlmd\n";

namespace {

constexpr int MaxScreenSide = 100000;
// What a monitor saves is smaller than what it read, which the profile gate caps.
constexpr std::size_t MaxSavedSize = std::size_t{64} << 20;

// The profile as a fresh monitor loads and saves it.
bool SavedText(PerfDataSource& source, const std::string& profileText, const ScreenSize& screen, std::string& text,
               std::string& error)
{
    ScratchFolder scratch;
    if (!scratch.Create(error))
        return false;
    MonitorEnvironment environment;
    environment.source = &source;
    environment.screen = screen;
    CounterMonitor monitor(environment);
    if (!LoadProfileText(monitor, profileText, error))
        return false;
    const std::filesystem::path saved = scratch.Path() / "saved.qlmd";
    FileProblem problem;
    if (!monitor.SaveToFile(saved.string()) || !ReadRegularFile(saved.string(), MaxSavedSize, text, problem)) {
        error = "cannot save the profile in " + scratch.Path().string();
        return false;
    }
    return true;
}

} // namespace

int RunCheck(const Arguments& args, PerfDataSource& source, CommandStreams io)
{
    ParsedArguments parsed;
    std::string error;
    if (!ParseArguments(args, {{"", "--screen", true}}, parsed, error))
        return UsageError(io.err, "check", error);
    if (parsed.positional.size() != 1)
        return UsageError(io.err, "check", parsed.positional.empty() ? "no profile given" : "give one profile");
    ScreenSize screen;
    if (const auto size = parsed.Value("--screen"); size && !ParseSize(*size, MaxScreenSide, screen.width, screen.height))
        return UsageError(io.err, "check", "--screen \"" + *size + "\": give WIDTHxHEIGHT in pixels, as 1920x1080");

    const std::string& path = parsed.positional.front();
    std::string profileText;
    if (!ReadProfileText(path, profileText, error)) {
        ReportError(io.err, "check", "cannot read " + path + ": " + error);
        return ExitUsage;
    }
    const std::vector<Finding> findings = CheckProfile(profileText, screen);
    for (const Finding& finding : findings) {
        io.err << Printable(path, 4096) << ':';
        if (finding.line > 0)
            io.err << finding.line << ':';
        io.err << ' ' << finding.message << '\n';
    }
    io.err.flush();

    std::string text;
    if (!SavedText(source, profileText, screen, text, error)) {
        ReportError(io.err, "check", path + ": " + error);
        return ExitFindings;
    }
    io.out << text;
    io.out.flush();
    return findings.empty() ? ExitSuccess : ExitFindings;
}

} // namespace quel::cli
