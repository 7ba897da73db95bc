// Reading a long log back: a 64 MiB HTML log (about 150,000 rows of 8 counters, written by the
// log writer) and a CSV log of the same rows, read whole, and summarised as "report" does.
//
//   log_read_bench                      the timings (Google Benchmark)
//   log_read_bench --write FOLDER       writes FOLDER/Logs/bench-log.html and bench-log.csv
//                                       for bench/log_report.sh, and stops

#include "log/log_reader.h"
#include "log/log_summary.h"
#include "log/log_writer.h"
#include "tests/support/axis_samples.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

namespace quel {
namespace {

constexpr int Axes = 8;
constexpr long long TargetBytes = 64LL * 1024 * 1024;

class StepClock final : public Clock {
public:
    std::time_t now = 1709647629;
    std::uint32_t TickCount() override { return 0; }
    void Sleep(std::uint32_t) override {}
    std::time_t Now() override { return now; }
};

class NoMessages final : public MessageSink {
public:
    void ShowMessage(const std::string&) override {}
};

// Writes rows with the writer: count rows, or (count < 0) until the log has TargetBytes.
// Returns the rows written.
long WriteLog(const std::filesystem::path& folder, int format, long count)
{
    WindRose rose {32, 4};
    for (int i = 0; i < Axes; ++i)
        rose.AddAxis("Counter " + std::to_string(i), "", 0, 0.0, 100.0, 80.0, 1.0, nullptr);
    MonitorSettings settings = DefaultMonitorSettings(ScreenSize {});
    settings.LogMode = 1;
    settings.LogFormat = format;
    settings.LogFileSize = 1 << 20;  // KiB: no rotation
    StepClock clock;
    NoMessages messages;
    const LogContext context {rose, settings, false, &messages, clock};
    LogWriter writer;
    writer.SetLogLocation((folder / "bench.qlmd").string(), false, context);
    writer.ResetValues(Axes);
    writer.StartLogSection(context);
    std::array<double, Axes> values {};
    long row = 0;
    for (; count < 0 || row < count; ++row) {
        if (count < 0 && row % 1024 == 0 && std::filesystem::file_size(writer.GetLogPath()) >= TargetBytes)
            break;
        ++clock.now;
        for (int i = 0; i < Axes; ++i) {
            const double wave = 50.0 + 45.0 * std::sin(0.01 * static_cast<double>(row) + i);
            values[static_cast<std::size_t>(i)] = row % 97 == i ? -1.0 : wave;  // now and then a failed read
        }
        writer.WriteLogRow(test::SampleOf(rose, values), context);
    }
    return row;
}

// A 64 MiB HTML log, and a CSV log of as many rows.
void WriteLogs(const std::filesystem::path& folder)
{
    WriteLog(folder, 1, WriteLog(folder, 0, -1));
}

struct BenchFolder {
    BenchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quel-log-read-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            path = pattern;
        WriteLogs(path);
    }
    ~BenchFolder()
    {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
    std::filesystem::path path;
};

BenchFolder& Logs()
{
    static BenchFolder folder;
    return folder;
}

void ReadLogBack(benchmark::State& state, const char* name)
{
    const std::string path = (Logs().path / "Logs" / name).string();
    LogData log;
    for (auto _ : state) {
        if (ReadLog(path, log).status != LogReadStatus::Complete)
            state.SkipWithError("the log did not read back whole");
        benchmark::DoNotOptimize(log.values.data());
    }
    state.counters["rows"] = static_cast<double>(log.RowCount());
    state.counters["file_MiB"] = static_cast<double>(std::filesystem::file_size(path)) / 1048576.0;
    state.counters["rows_MiB"] = static_cast<double>(log.values.capacity() * sizeof(double) + log.times.capacity() * sizeof(std::time_t)) / 1048576.0;
}

void Summarize(benchmark::State& state)
{
    LogData log;
    ReadLog((Logs().path / "Logs" / "bench-log.html").string(), log);
    const std::vector<std::optional<double>> critical(log.ColumnCount(), 80.0);
    for (auto _ : state) {
        const std::optional<TimeSpan> span = LogSpan(log);
        benchmark::DoNotOptimize(SummarizeColumns(log, *span, critical));
    }
}

void Configure(benchmark::internal::Benchmark* bench)
{
    bench->Iterations(3)->Repetitions(3)->ReportAggregatesOnly(true)->UseRealTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(ReadLogBack, html_64MiB, "bench-log.html")->Apply(Configure);
BENCHMARK_CAPTURE(ReadLogBack, csv_same_rows, "bench-log.csv")->Apply(Configure);
BENCHMARK(Summarize)->Apply(Configure);

} // namespace
} // namespace quel

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--write") == 0) {
        quel::WriteLogs(argv[2]);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
