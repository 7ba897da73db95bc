#include "cli/report_command.h"

#include "cli/arguments.h"
#include "cli/log_profile.h"
#include "cli/report_table.h"
#include "cli/report_time.h"
#include "log/log_reader.h"
#include "log/log_summary.h"
#include "windrose/number_text.h"

#include <algorithm>

namespace quel::cli {

const char* const ReportHelp =
    "Usage: quelmonctl report LOG [--profile PROFILE] [--from TIME] [--to TIME] [--csv]\n"
    "\n"
    "Reads a log the monitor wrote (HTML or CSV, current or backup) and reports its time span\n"
    "and sections, then per column: samples, minimum, mean, maximum, the share of samples at or\n"
    "above the axis's critical value and the longest critical episode (from its first critical\n"
    "row to the next row that is not). The critical values come from the profile: the one the\n"
    "log's title names, in the folder that holds the log's \"Logs\" folder, or PROFILE.\n"
    "\n"
    "Options:\n"
    "  --profile PROFILE  the profile whose axes give the critical values\n"
    "  --from TIME        only rows at or after TIME (\"YYYY-MM-DD HH:MM:SS\", local time)\n"
    "  --to TIME          only rows at or before TIME\n"
    "  --csv              the columns' lines as CSV\n"
    "  -h, --help         show this help\n"
    "\n"
    "Exit status: 0 reported, 1 the log is damaged (reported up to the damage), 2 usage error,\n"
    "unreadable log or profile, or a time span outside the log's.\n"
    "\n"
    "Example: quelmonctl report ~/Logs/monitor-log.html --from \"2024-03-05 14:00:00\"\n";

namespace {

struct ReportOptions {
    std::string log;
    std::optional<std::string> profile;
    std::optional<std::time_t> from;
    std::optional<std::time_t> to;
    bool csv = false;
};

int ParseReportOptions(const Arguments& args, ReportOptions& options, std::ostream& err)
{
    ParsedArguments parsed;
    std::string error;
    const std::vector<OptionRule> rules {
        {"", "--profile", true}, {"", "--from", true}, {"", "--to", true}, {"", "--csv", false}};
    if (!ParseArguments(args, rules, parsed, error))
        return UsageError(err, "report", error);
    if (parsed.positional.size() != 1)
        return UsageError(err, "report", parsed.positional.empty() ? "no log given" : "give one log");
    options.log = parsed.positional.front();
    options.profile = parsed.Value("--profile");
    options.csv = parsed.Has("--csv");
    for (const char* name : {"--from", "--to"}) {
        const std::optional<std::string> text = parsed.Value(name);
        if (!text)
            continue;
        const std::optional<std::time_t> time = ParseReportTime(*text);
        if (!time)
            return UsageError(err, "report", std::string(name) + " \"" + *text + "\": give \"YYYY-MM-DD HH:MM:SS\"");
        (std::string_view(name) == "--from" ? options.from : options.to) = time;
    }
    if (options.from && options.to && *options.from > *options.to)
        return UsageError(err, "report", "--from is after --to");
    return ExitSuccess;
}

std::string Number(double value)
{
    return LogData::IsAvailable(value) ? FormatFixed(value, 2) : std::string();
}

std::vector<std::string> SummaryCells(const std::string& name, const ColumnSummary& summary, bool csv)
{
    std::vector<std::string> cells {name, std::to_string(summary.samples), Number(summary.minimum),
                                     Number(summary.mean), Number(summary.maximum)};
    if (!summary.critical) {
        cells.resize(csv ? 10 : 8);
        return cells;
    }
    cells.push_back(FormatFixed(*summary.critical, 2));
    const double share = summary.samples > 0 ? 100.0 * static_cast<double>(summary.criticalSamples) / static_cast<double>(summary.samples) : 0.0;
    cells.push_back(FormatFixed(share, 1) + (csv ? "" : "%"));
    const bool episode = summary.episodeRows > 0;
    const std::string start = episode ? ReportTimeText(summary.episodeStart) : std::string();
    if (csv) {
        cells.push_back(start);
        cells.push_back(episode ? std::to_string(summary.episodeSeconds) : std::string());
        cells.push_back(std::to_string(summary.episodeRows));
    } else {
        cells.push_back(episode ? start + " for " + std::to_string(summary.episodeSeconds) + " s (" +
                                      std::to_string(summary.episodeRows) + (summary.episodeRows == 1 ? " row)" : " rows)")
                                : "none");
    }
    return cells;
}

// The critical value of each column from the profile's axes; notes for columns without one.
std::vector<std::optional<double>> CriticalValues(const LogData& log, const CounterMonitor& axes, const LogProfile& profile,
                                                  std::vector<std::string>& notes)
{
    std::vector<std::optional<double>> critical(log.ColumnCount());
    if (!profile.loaded)
        return critical;
    const std::vector<std::optional<int>> matches = MatchColumnsToAxes(log, axes);
    for (std::size_t c = 0; c < matches.size(); ++c) {
        double value = 0.0;
        if (matches[c] && axes.GetAxisCritical(*matches[c], value))
            critical[c] = value;
        else
            notes.push_back("the profile has no axis \"" + Printable(log.columns[c]) + "\": no critical value");
    }
    return critical;
}

void WriteHead(std::ostream& out, const ReportOptions& options, const LogData& log, TimeSpan span,
               const LogProfile& profile)
{
    std::size_t rows = 0;
    std::optional<TimeSpan> seen;
    std::vector<std::size_t> sectionRows(log.sections.size(), 0);
    for (std::size_t s = 0; s < log.sections.size(); ++s) {
        const LogSection& section = log.sections[s];
        for (std::size_t r = section.firstRow; r < section.firstRow + section.rowCount; ++r) {
            const std::time_t t = log.times[r];
            if (t < span.from || t > span.to)
                continue;
            ++rows;
            ++sectionRows[s];
            seen = seen ? TimeSpan {std::min(seen->from, t), std::max(seen->to, t)} : TimeSpan {t, t};
        }
    }
    out << "Log: " << Printable(options.log, 4096) << " (" << (log.kind == LogKind::Csv ? "CSV" : "HTML") << ")\n";
    if (seen)
        out << "Span: " << ReportTimeText(seen->from) << " to " << ReportTimeText(seen->to) << ", " << rows
            << (rows == 1 ? " row\n" : " rows\n");
    else
        out << "Span: no rows\n";
    out << "Sections:\n";
    for (std::size_t s = 0; s < log.sections.size(); ++s)
        out << "  started " << ReportTimeText(log.sections[s].started) << ", " << sectionRows[s]
            << (sectionRows[s] == 1 ? " row\n" : " rows\n");
    if (profile.loaded)
        out << "Profile: " << Printable(profile.path, 4096) << '\n';
}

} // namespace

int RunReport(const Arguments& args, PerfDataSource& source, CommandStreams io)
{
    ReportOptions options;
    if (const int result = ParseReportOptions(args, options, io.err); result != ExitSuccess)
        return result;
    LogData log;
    const LogReading reading = ReadLog(options.log, log);
    if (reading.status == LogReadStatus::Refused) {
        ReportError(io.err, "report", "cannot read " + options.log + ": " + reading.message);
        return ExitUsage;
    }
    const std::optional<TimeSpan> whole = LogSpan(log);
    if ((options.from || options.to) &&
        (!whole || (options.from && *options.from > whole->to) || (options.to && *options.to < whole->from))) {
        ReportError(io.err, "report", whole ? "the time asked lies outside the log, which spans " + ReportTimeText(whole->from) +
                                                  " to " + ReportTimeText(whole->to)
                                            : "the log has no rows");
        return ExitUsage;
    }
    const TimeSpan span {options.from.value_or(whole ? whole->from : 0), options.to.value_or(whole ? whole->to : 0)};

    MonitorEnvironment environment;
    environment.source = &source;
    CounterMonitor monitor(environment);
    LogProfile profile;
    std::string error;
    if (!LoadLogProfile(monitor, options.profile, options.log, log, profile, error)) {
        ReportError(io.err, "report", error);
        return ExitUsage;
    }
    std::vector<std::string> notes;
    if (!profile.note.empty())
        notes.push_back(profile.note + ": no critical values");
    const std::vector<std::optional<double>> critical = CriticalValues(log, monitor, profile, notes);
    const std::vector<ColumnSummary> summaries = SummarizeColumns(log, span, critical);

    ReportTable table(options.csv
                          ? std::vector<std::string> {"axis", "samples", "minimum", "mean", "maximum", "critical",
                                                      "at_or_above_percent", "longest_critical_start",
                                                      "longest_critical_seconds", "longest_critical_rows"}
                          : std::vector<std::string> {"Axis", "Samples", "Minimum", "Mean", "Maximum", "Critical",
                                                      "At/above", "Longest critical episode"});
    for (std::size_t c = 0; c < summaries.size(); ++c)
        table.Add(SummaryCells(options.csv ? log.columns[c] : Printable(log.columns[c], 60), summaries[c], options.csv));
    if (options.csv) {
        table.WriteCsv(io.out);
        for (const std::string& note : notes)
            ReportError(io.err, "report", "note: " + note);
    } else {
        WriteHead(io.out, options, log, span, profile);
        for (const std::string& note : notes)
            io.out << "Note: " << note << '\n';
        io.out << '\n';
        table.WriteAligned(io.out, {false, true, true, true, true, true, true, false});
    }
    io.out.flush();
    if (reading.status == LogReadStatus::Damaged) {
        ReportError(io.err, "report", options.log + ": read up to the damage: " + reading.message);
        return ExitFindings;
    }
    return ExitSuccess;
}

} // namespace quel::cli
