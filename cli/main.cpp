// quelmonctl: the command-line companion of Quellarimond. Lists and samples counters, renders a
// profile's wind rose to PNG or SVG, and checks profiles.

#include "cli/check_command.h"
#include "cli/command.h"
#include "cli/list_command.h"
#include "cli/provider_root.h"
#include "cli/render_command.h"
#include "cli/report_command.h"
#include "cli/rules_command.h"
#include "cli/sample_command.h"
#include "platform/file_size_signal.h"
#include "platform/linux_perf_data_source.h"

#include <exception>
#include <iostream>
#include <new>
#include <optional>

namespace {

using namespace quel::cli;

const char* const ToolHelp =
    "Usage: quelmonctl COMMAND [ARGUMENTS]\n"
    "\n"
    "The command-line companion of Quellarimond, the performance monitor.\n"
    "\n"
    "Commands:\n"
    "  list [OBJECT...]       the performance objects, or the counter paths of objects\n"
    "  sample PATH...         sample counters and print CSV\n"
    "  render PROFILE -o IMG  paint a profile's wind rose into a PNG or SVG image\n"
    "  render --log LOG --at TIME -o IMG\n"
    "                         paint the wind rose of a moment in a log\n"
    "  report LOG             a log's span and, per column, statistics and critical episodes\n"
    "  check PROFILE          report what the programs would ignore or correct in a profile\n"
    "  rules PROFILE          Prometheus alerting rules from a profile's critical values\n"
    "\n"
    "Options:\n"
    "  -h, --help             show this help; \"quelmonctl COMMAND --help\" shows a command's\n"
    "  --version              show the version\n"
    "\n"
    "Exit status: 0 success, 1 findings (check) or partial failure, 2 usage error or\n"
    "unreadable input.\n"
    "The counters come from /proc and /sys ($QUELLARIMOND_PROCFS and $QUELLARIMOND_SYSFS\n"
    "replace them).\n";

using Runner = int (*)(const Arguments&, quel::PerfDataSource&, CommandStreams);

struct Command {
    const char* name;
    const char* help;
    Runner run;
    bool readsCounters;
};

const Command Commands[] = {
    {"list", ListHelp, RunList, true},
    {"sample", SampleHelp, RunSample, true},
    {"render", RenderHelp, RunRender, true},
    {"check", CheckHelp, RunCheck, false},
    {"rules", RulesHelp, RunRules, false},
    {"report", ReportHelp, RunReport, false},
};

const Command* FindCommand(std::string_view name)
{
    for (const Command& command : Commands) {
        if (name == command.name)
            return &command;
    }
    return nullptr;
}

bool IsHelp(std::string_view arg) { return arg == "-h" || arg == "--help"; }

// Whether the command's arguments ask for its help (before any "--").
bool AsksForHelp(const Arguments& args)
{
    for (const std::string& arg : args) {
        if (arg == "--")
            return false;
        if (IsHelp(arg))
            return true;
    }
    return false;
}

int Run(const Arguments& all)
{
    CommandStreams io {std::cout, std::cerr};
    if (all.empty()) {
        std::cerr << ToolHelp;
        return ExitUsage;
    }
    const std::string& first = all.front();
    if (IsHelp(first) || first == "help") {
        const Command* command = all.size() > 1 ? FindCommand(all[1]) : nullptr;
        std::cout << (command ? command->help : ToolHelp);
        return ExitSuccess;
    }
    if (first == "--version") {
        std::cout << ProgramName << ' ' << QUEL_VERSION << '\n';
        return ExitSuccess;
    }
    const Command* command = FindCommand(first);
    if (command == nullptr)
        return UsageError(std::cerr, "", "unknown command \"" + first + "\"");
    const Arguments args(all.begin() + 1, all.end());
    if (AsksForHelp(args)) {
        std::cout << command->help;
        return ExitSuccess;
    }
    if (command->readsCounters) {
        if (const std::optional<std::string> problem = ProcRootProblem()) {
            ReportError(std::cerr, command->name, *problem);
            return ExitUsage;
        }
    }
    quel::LinuxPerfDataSource source;
    return command->run(args, source, io);
}

} // namespace

int main(int argc, char** argv)
{
    quel::IgnoreFileSizeSignal();
    try {
        return Run(Arguments(argv + 1, argv + argc));
    } catch (const std::bad_alloc&) {
        ReportError(std::cerr, "", "out of memory");
    } catch (const std::exception& error) {
        ReportError(std::cerr, "", std::string("internal error: ") + error.what());
    }
    return ExitFindings;
}
