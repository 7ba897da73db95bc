// A long log opened as history: a 64 MiB HTML log (about 150,000 rows of 8 counters, written
// by the log writer) read, its moments prepared, its columns placed on a wind rose and the first
// picture painted; then one move of the slider: a row's three lines computed and the rose
// painted at the size of the desktop window's diagram (a QImage, offscreen).
//
//   history_bench                  the timings (Google Benchmark)
//   history_bench --memory         opens the log once in this fresh process and prints its
//                                  memory: the rows, and the peak beyond the rows
//
// The profile's rose is built in code: 8 axes named as the log's columns; the log is the one
// log_read_bench writes.

#include "engine/counter_monitor.h"
#include "engine/log_moment_rose.h"
#include "gui/wind_rose_render.h"
#include "log/log_history.h"
#include "log/log_reader.h"
#include "log/log_writer.h"
#include "platform/linux_perf_data_source.h"
#include "tests/support/axis_samples.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

namespace quel {
namespace {

constexpr int Axes = 8;
constexpr long long TargetBytes = 64LL * 1024 * 1024;
const QSize DiagramSize(960, 540);  // half of a 1920x1080 screen, as the window opens

class StepClock final : public Clock {
public:
    std::time_t now = 1709647629;
    std::uint32_t TickCount() override { return 0; }
    void Sleep(std::uint32_t) override {}
    std::time_t Now() override { return now; }
};

void AddAxes(WindRose& rose)
{
    for (int i = 0; i < Axes; ++i)
        rose.AddAxis("Counter " + std::to_string(i), "", 0, 0.0, 100.0, 80.0, 1.0, nullptr);
}

// The HTML log of log_read_bench: rows of slow waves, now and then a failed read, in two
// sections.
std::string WriteLog(const std::filesystem::path& folder)
{
    WindRose rose {32, 4};
    AddAxes(rose);
    MonitorSettings settings = DefaultMonitorSettings(ScreenSize {});
    settings.LogMode = 1;
    settings.LogFileSize = 1 << 20;  // KiB: no rotation
    StepClock clock;
    const LogContext context {rose, settings, false, nullptr, clock};
    LogWriter writer;
    writer.SetLogLocation((folder / "bench.qlmd").string(), false, context);
    std::array<double, Axes> values {};
    for (long row = 0;; ++row) {
        if (row % 1024 == 0 && std::filesystem::file_size(writer.GetLogPath()) >= TargetBytes)
            break;
        if (row % 75000 == 0) {
            writer.ResetValues(Axes);
            writer.StartLogSection(context);
            clock.now += 3600;
        }
        ++clock.now;
        for (int i = 0; i < Axes; ++i) {
            const double wave = 50.0 + 45.0 * std::sin(0.01 * static_cast<double>(row) + i);
            values[static_cast<std::size_t>(i)] = row % 97 == i ? -1.0 : wave;
        }
        writer.WriteLogRow(test::SampleOf(rose, values), context);
    }
    const std::string path = writer.GetLogPath();
    writer.CloseLog();
    return path;
}

struct BenchLog {
    BenchLog()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quel-history-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            folder = pattern;
        path = WriteLog(folder);
    }
    ~BenchLog()
    {
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
    std::filesystem::path folder;
    std::string path;
};

BenchLog& Log()
{
    static BenchLog log;
    return log;
}

// The rose is never sampled; its monitor still wants a source for its standard paths.
std::unique_ptr<CounterMonitor> MakeRose()
{
    static LinuxPerfDataSource source;
    MonitorEnvironment environment;
    environment.source = &source;
    auto rose = std::make_unique<CounterMonitor>(environment);
    rose->SetUpDefaultProfile();
    rose->RemoveAllAxes();
    AddAxes(*rose);
    rose->SetStatusText("");
    return rose;
}

// What Open does, up to the first picture.
struct OpenHistory {
    LogData log;
    std::unique_ptr<LogHistory> history;
    std::unique_ptr<CounterMonitor> rose;
    ColumnAxes axes;
    QImage picture;

    bool Open(const std::string& path)
    {
        if (ReadLog(path, log).status != LogReadStatus::Complete || log.RowCount() == 0)
            return false;
        history = std::make_unique<LogHistory>(log);
        rose = MakeRose();
        axes = PlaceColumns(*rose, *history);
        Show(0);
        return true;
    }
    void Show(std::size_t row)
    {
        ShowMoment(*rose, axes.axis, history->MomentAt(row));
        picture = RenderImage(DiagramSize, MakeRgb(0, 0, 0), PaintOf(*rose));
    }
};

void OpenToFirstPicture(benchmark::State& state)
{
    const std::string path = Log().path;
    std::size_t rows = 0;
    for (auto _ : state) {
        OpenHistory open;
        if (!open.Open(path))
            state.SkipWithError("the log did not read back whole");
        rows = open.log.RowCount();
        benchmark::DoNotOptimize(open.picture.constBits());
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["file_MiB"] = static_cast<double>(std::filesystem::file_size(path)) / 1048576.0;
}

void MoveSlider(benchmark::State& state)
{
    OpenHistory open;
    if (!open.Open(Log().path)) {
        state.SkipWithError("the log did not read back whole");
        return;
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> anyRow(0, open.log.RowCount() - 1);
    for (auto _ : state) {
        open.Show(anyRow(random));
        benchmark::DoNotOptimize(open.picture.constBits());
    }
}

void MomentOnly(benchmark::State& state)
{
    OpenHistory open;
    if (!open.Open(Log().path)) {
        state.SkipWithError("the log did not read back whole");
        return;
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> anyRow(0, open.log.RowCount() - 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(open.history->MomentAt(anyRow(random)));
}

BENCHMARK(OpenToFirstPicture)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly(true)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(MoveSlider)->Repetitions(3)->ReportAggregatesOnly(true)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(MomentOnly)->Repetitions(3)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
long StatusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string name;
    long value = 0;
    while (status >> name) {
        if (name == std::string(field) + ":" && status >> value)
            return value;
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

int PrintMemory()
{
    const std::string path = Log().path;
    RenderImage(DiagramSize, MakeRgb(0, 0, 0), PaintOf(*MakeRose()));  // Qt's own start-up
    // The peak from here on: the kernel's high-water mark is reset through clear_refs.
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = StatusKiB("VmRSS");
    OpenHistory open;
    if (!open.Open(path))
        return 1;
    const long peak = StatusKiB("VmHWM");
    const long after = StatusKiB("VmRSS");
    const double rows = static_cast<double>(open.log.values.capacity() * sizeof(double) +
                                            open.log.times.capacity() * sizeof(std::time_t)) / 1048576.0;
    std::printf("log %.1f MiB, %zu rows of %zu columns\n", static_cast<double>(std::filesystem::file_size(path)) / 1048576.0,
                open.log.RowCount(), open.log.ColumnCount());
    std::printf("rows: %.1f MiB\n", rows);
    std::printf("held beyond the rows once open: %.1f MiB\n", static_cast<double>(after - before) / 1024.0 - rows);
    std::printf("peak beyond the rows while opening: %.1f MiB\n", static_cast<double>(peak - before) / 1024.0 - rows);
    return 0;
}

} // namespace
} // namespace quel

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "--memory") == 0)
        return quel::PrintMemory();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
