// Cost of one log row for 32 axes, HTML and CSV, on a small log and on one of about 10 MiB:
// a row seeks back over the footer and writes, so its cost must not grow with the file.

#include "log/log_writer.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace quel {
namespace {

constexpr int Axes = 32;
constexpr long long MiB = 1024 * 1024;

class FixedClock final : public Clock {
public:
    std::uint32_t TickCount() override { return 0; }
    void Sleep(std::uint32_t) override {}
    std::time_t Now() override { return 1709647629; }
};

class NoMessages final : public MessageSink {
public:
    void ShowMessage(const std::string&) override {}
};

struct BenchLog {
    explicit BenchLog(int format)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quel-log-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            folder = pattern;
        for (int i = 0; i < Axes; ++i) {
            const std::string name = "Counter " + std::to_string(i);
            rose.AddAxis(name, "", 0, 0.0, 100.0, 80.0, 1.0, nullptr);
        }
        settings = DefaultMonitorSettings(ScreenSize {});
        settings.LogMode = 1;
        settings.LogFormat = format;
        settings.LogFileSize = 10240;
        writer.SetLogLocation((folder / "bench.qlmd").string(), false, Context());
        writer.ResetValues(Axes);
        writer.StartLogSection(Context());
    }
    ~BenchLog()
    {
        writer.CloseLog();
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }

    LogContext Context() { return LogContext {rose, settings, false, &messages, clock}; }
    std::uintmax_t Size()
    {
        std::error_code error;
        return std::filesystem::file_size(writer.GetLogPath(), error);
    }
    void Row()
    {
        ++rows;
        for (int i = 0; i < Axes; ++i)
            values[static_cast<std::size_t>(i)] = AxisSample {.read = true, .raw = 10.0 + i + static_cast<double>(rows % 10) * 0.37};
        rose.ScaleSample(values);
        writer.WriteLogRow(values, Context());
    }

    std::filesystem::path folder;
    WindRose rose {32, 4};
    MonitorSettings settings {};
    FixedClock clock;
    NoMessages messages;
    LogWriter writer;
    std::array<AxisSample, Axes> values {};
    long rows = 0;
};

// format: 0 HTML, 1 CSV; filled: bytes written before timing starts.
void WriteLogRow(benchmark::State& state, int format, long long filled)
{
    BenchLog log(format);
    while (static_cast<long long>(log.Size()) < filled) {
        for (int i = 0; i < 16; ++i)
            log.Row();
    }
    const std::uintmax_t before = log.Size();
    for (auto _ : state)
        log.Row();
    state.counters["log_MiB_before"] = static_cast<double>(before) / MiB;
    state.counters["log_MiB_after"] = static_cast<double>(log.Size()) / MiB;
}

// 256 rows of at most 2.5 KB (HTML) stay below the 10 MiB limit, so no rotation is timed.
constexpr long long Large = 10 * MiB - 768 * 1024;

void Configure(benchmark::internal::Benchmark* bench)
{
    bench->Iterations(256)->Repetitions(15)->ReportAggregatesOnly(true)->UseRealTime()->Unit(benchmark::kMicrosecond);
}

BENCHMARK_CAPTURE(WriteLogRow, html_small, 0, 0LL)->Apply(Configure);
BENCHMARK_CAPTURE(WriteLogRow, html_10MiB, 0, Large)->Apply(Configure);
BENCHMARK_CAPTURE(WriteLogRow, csv_small, 1, 0LL)->Apply(Configure);
BENCHMARK_CAPTURE(WriteLogRow, csv_10MiB, 1, Large)->Apply(Configure);

} // namespace
} // namespace quel

BENCHMARK_MAIN();
