#include "cli/rules_command.h"

#include "cli/alerting_rules.h"
#include "cli/arguments.h"
#include "cli/profile_loading.h"
#include "engine/counter_monitor.h"
#include "engine/metrics_names.h"

namespace quel::cli {

const char* const RulesHelp =
    "Usage: quelmonctl rules PROFILE\n"
    "\n"
    "Prints a Prometheus alerting-rules file for a quelmondsrvc that runs PROFILE with a\n"
    "metrics listener: one rule per axis, firing when the axis's current value stays at or\n"
    "above its critical value (at or below, for inverse axes) for three sampling intervals.\n"
    "Thresholds are turned into the counters' raw units (the axis's multiplier and, for an\n"
    "inverse axis, its maximum), as the service exports them.\n"
    "\n"
    "Exit status: 0 rules printed, 1 some axis has no usable threshold (left out, named on\n"
    "the standard error), 2 the profile cannot be read.\n"
    "\n"
    "Example: quelmonctl rules /srv/web.qlmd > /etc/prometheus/quellarimond-web.yml\n";

int RunRules(const Arguments& args, PerfDataSource& source, CommandStreams io)
{
    ParsedArguments parsed;
    std::string error;
    if (!ParseArguments(args, {}, parsed, error))
        return UsageError(io.err, "rules", error);
    if (parsed.positional.size() != 1)
        return UsageError(io.err, "rules", parsed.positional.empty() ? "no profile given" : "give one profile");
    const std::string& path = parsed.positional.front();

    MonitorEnvironment environment;
    environment.source = &source;
    CounterMonitor monitor(environment);
    std::string text;
    if (!ReadProfileText(path, text, error) || !LoadProfileText(monitor, text, error)) {
        ReportError(io.err, "rules", "cannot read " + path + ": " + error);
        return ExitUsage;
    }
    MonitorSnapshot axes;
    monitor.GetSnapshot(axes);
    std::string skipped;
    io.out << AlertingRulesYaml({MetricsProfileName(path), monitor.GetInterval(), &axes}, skipped);
    io.out.flush();
    if (!skipped.empty()) {
        ReportError(io.err, "rules", "left out (Multiplier 0 makes every value infinite): " + Printable(skipped));
        return ExitFindings;
    }
    return ExitSuccess;
}

} // namespace quel::cli
