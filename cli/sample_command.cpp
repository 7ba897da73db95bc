#include "cli/sample_command.h"

#include "cli/arguments.h"
#include "cli/counter_path_expansion.h"
#include "cli/object_items.h"
#include "cli/sample_csv.h"
#include "cli/stop_signal.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>

namespace quel::cli {

const char* const SampleHelp =
    "Usage: quelmonctl sample [-i SECONDS] [-n COUNT] [-o FILE] PATH...\n"
    "\n"
    "Samples the counters PATH... every SECONDS and prints CSV: a header line \"(PDH-CSV 4.0)\"\n"
    "with the full counter paths, then one line per sample with the local time and every\n"
    "value with six decimals. A value that cannot be read is an empty field. The first\n"
    "collection only primes the rate counters, so the first line comes after SECONDS.\n"
    "A path is \\Object(instance)\\Counter or \\Object\\Counter, optionally preceded by\n"
    "\\\\computer; \"*\" as the instance stands for every instance, \"*\" as the counter for every\n"
    "counter of the object. Quote paths in the shell: they hold backslashes.\n"
    "\n"
    "Options:\n"
    "  -i SECONDS  seconds between samples (default 1; fractions allowed)\n"
    "  -n COUNT    number of samples (default: until Ctrl-C, which ends after the current line)\n"
    "  -o FILE     write the CSV to FILE instead of the standard output\n"
    "  -h, --help  show this help\n"
    "\n"
    "Example: quelmonctl sample -n 5 '\\Processor(_Total)\\% Processor Time'\n";

namespace {

constexpr double MaxIntervalSeconds = 86400.0;
constexpr long long MaxSampleCount = 1'000'000'000;

struct SampleOptions {
    double interval = 1.0;
    std::optional<long long> count;
    std::optional<std::string> outputFile;
    std::vector<std::string> paths;
};

int ParseSampleOptions(const Arguments& args, SampleOptions& options, std::ostream& err)
{
    ParsedArguments parsed;
    std::string error;
    const std::vector<OptionRule> rules {{"-i", "", true}, {"-n", "", true}, {"-o", "", true}};
    if (!ParseArguments(args, rules, parsed, error))
        return UsageError(err, "sample", error);
    if (const auto interval = parsed.Value("-i"); interval && !ParseSeconds(*interval, MaxIntervalSeconds, false, options.interval))
        return UsageError(err, "sample", "-i \"" + *interval + "\": give seconds greater than 0, at most 86400");
    if (const auto count = parsed.Value("-n")) {
        long long value = 0;
        if (!ParseCount(*count, MaxSampleCount, value))
            return UsageError(err, "sample", "-n \"" + *count + "\": give a whole number of samples, at least 1");
        options.count = value;
    }
    options.outputFile = parsed.Value("-o");
    if (options.outputFile && options.outputFile->empty())
        return UsageError(err, "sample", "-o needs a file name");
    options.paths = parsed.positional;
    if (options.paths.empty())
        return UsageError(err, "sample", "no counter path given");
    return ExitSuccess;
}

// The counters of one query, with the full path of each as its column.
class SampleQuery {
public:
    explicit SampleQuery(PerfDataSource& source) : source_(source) {}
    ~SampleQuery()
    {
        for (PerfCounterHandle counter : counters_)
            source_.RemoveCounter(counter);
        if (query_ != nullptr)
            source_.CloseQuery(query_);
    }
    SampleQuery(const SampleQuery&) = delete;
    SampleQuery& operator=(const SampleQuery&) = delete;

    PerfStatus Open() { return source_.OpenQuery(query_); }

    PerfStatus Add(const std::string& path, const std::string& column)
    {
        PerfCounterHandle counter = nullptr;
        const PerfStatus status = source_.AddCounter(query_, path, counter);
        if (status != perf_status::Ok) {
            if (counter != nullptr)
                source_.RemoveCounter(counter);
            return status;
        }
        counters_.push_back(counter);
        columns_.push_back(column);
        paths_.push_back(path);
        return status;
    }

    void Collect() { source_.CollectQueryData(query_); }

    // The values of the last collection; statuses gets why each missing one is missing.
    std::vector<std::optional<double>> Read(std::vector<PerfStatus>& statuses)
    {
        std::vector<std::optional<double>> values;
        values.reserve(counters_.size());
        statuses.assign(counters_.size(), perf_status::Ok);
        for (std::size_t i = 0; i < counters_.size(); ++i) {
            double value = 0.0;
            statuses[i] = source_.GetFormattedCounterValue(counters_[i], value);
            if (statuses[i] == perf_status::Ok)
                values.emplace_back(value);
            else
                values.emplace_back();
        }
        return values;
    }

    const std::vector<std::string>& Columns() const { return columns_; }
    const std::vector<std::string>& Paths() const { return paths_; }

private:
    PerfDataSource& source_;
    PerfQueryHandle query_ = nullptr;
    std::vector<PerfCounterHandle> counters_;
    std::vector<std::string> columns_;
    std::vector<std::string> paths_;
};

// Says once per counter why its column is empty, and remembers whether any value was read.
class EmptyColumnReport {
public:
    EmptyColumnReport(const std::vector<std::string>& paths, std::ostream& err) : paths_(paths), err_(err) {}

    void Note(const std::vector<std::optional<double>>& values, const std::vector<PerfStatus>& statuses)
    {
        reported_.resize(values.size(), false);
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (values[i]) {
                anyValue_ = true;
                continue;
            }
            // A rate without a second reading yet fills in by itself.
            if (statuses[i] == perf_status::NoData || reported_[i])
                continue;
            reported_[i] = true;
            ReportError(err_, "sample", "\"" + paths_[i] + "\": " + DescribePathStatus(paths_[i], statuses[i]) +
                                            "; its column is empty until it can be read");
        }
    }

    bool AnyValue() const { return anyValue_; }

private:
    const std::vector<std::string>& paths_;
    std::ostream& err_;
    std::vector<bool> reported_;
    bool anyValue_ = false;
};

// Adds every path (wildcards expanded); a path that cannot be added is reported and left out.
bool AddPaths(SampleQuery& query, PerfDataSource& source, const std::vector<std::string>& paths, std::ostream& err)
{
    const std::string host = LocalHostName();
    bool allAdded = true;
    for (const std::string& path : paths) {
        std::vector<std::string> expanded;
        std::string error;
        if (!ExpandCounterPath(source, path, expanded, error)) {
            ReportError(err, "sample", "\"" + path + "\": " + error + "; left out");
            allAdded = false;
            continue;
        }
        for (const std::string& one : expanded) {
            const PerfStatus status = query.Add(one, FullCounterPath(one, host));
            if (status != perf_status::Ok) {
                ReportError(err, "sample", "\"" + one + "\": " + DescribePathStatus(one, status) + "; left out");
                allAdded = false;
            }
        }
    }
    return allAdded;
}

bool WriteLine(std::ostream& out, const std::string& line)
{
    out << line;
    out.flush();
    return static_cast<bool>(out);
}

int SampleLoop(SampleQuery& query, const SampleOptions& options, std::ostream& out, std::ostream& err,
               const std::string& outputName)
{
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.interval));
    StopSignal stop;
    query.Collect();  // primes the rate counters
    auto writeFailed = [&] {
        ReportError(err, "sample", "cannot write to " + outputName);
        return ExitFindings;
    };
    if (!WriteLine(out, CsvHeaderLine(query.Columns())))
        return writeFailed();
    EmptyColumnReport report(query.Paths(), err);
    std::vector<PerfStatus> statuses;
    long long taken = 0;
    auto next = Clock::now() + interval;
    for (; !options.count || taken < *options.count; ++taken) {
        if (!StopSignal::SleepUntil(next))
            break;
        query.Collect();
        const std::string time = FormatSampleTime(std::chrono::system_clock::now());
        const std::vector<std::optional<double>> values = query.Read(statuses);
        report.Note(values, statuses);
        if (!WriteLine(out, CsvRowLine(time, values)))
            return writeFailed();
        next += interval;
        // After a stall (a suspended machine, a slow collection) the next sample waits a full
        // interval instead of catching up in a burst.
        if (const auto now = Clock::now(); next < now)
            next = now + interval;
    }
    if (taken > 0 && !report.AnyValue()) {
        ReportError(err, "sample", "no value could be read");
        return ExitFindings;
    }
    return ExitSuccess;
}

} // namespace

int RunSample(const Arguments& args, PerfDataSource& source, CommandStreams io)
{
    SampleOptions options;
    if (const int result = ParseSampleOptions(args, options, io.err); result != ExitSuccess)
        return result;

    SampleQuery query(source);
    if (const PerfStatus status = query.Open(); status != perf_status::Ok) {
        ReportError(io.err, "sample", "cannot open a query: " + DescribeStatus(status));
        return ExitFindings;
    }
    const bool allAdded = AddPaths(query, source, options.paths, io.err);
    if (query.Columns().empty()) {
        ReportError(io.err, "sample", "no counter to sample");
        return ExitUsage;
    }

    std::ofstream file;
    std::ostream* out = &io.out;
    std::string outputName = "the standard output";
    if (options.outputFile) {
        file.open(*options.outputFile, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!file) {
            ReportError(io.err, "sample", "cannot write to " + *options.outputFile + ": " + std::strerror(errno));
            return ExitUsage;
        }
        out = &file;
        outputName = *options.outputFile;
    }
    const int result = SampleLoop(query, options, *out, io.err, outputName);
    if (result != ExitSuccess)
        return result;
    return allAdded ? ExitSuccess : ExitFindings;
}

} // namespace quel::cli
