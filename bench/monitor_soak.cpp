// A CounterMonitor sampling this machine with the default standard set at Interval 1 on the
// real clock for a while (default 60 s, or the first argument in seconds), then the process's
// CPU time and peak resident set. Not a Google Benchmark: it measures a long, idle-most run.
//
//   build/bench/monitor_soak 60

#include "bench/monitor_setup.h"
#include "engine/counter_monitor.h"
#include "platform/linux_perf_data_source.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

using quel::bench::SampleCounter;

double Seconds(const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; }

std::string PeakResidentSet()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return line.substr(6);
    }
    return "?";
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    quel::LinuxPerfDataSource source;
    quel::MonitorEnvironment environment;
    environment.source = &source;
    quel::CounterMonitor monitor(environment);
    quel::bench::UseDefaultSetEverySecond(monitor);

    SampleCounter counter;
    rusage before {};
    getrusage(RUSAGE_SELF, &before);
    monitor.StartSampling(&counter, false);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    monitor.StopSampling();
    rusage after {};
    getrusage(RUSAGE_SELF, &after);

    const double cpu = Seconds(after.ru_utime) - Seconds(before.ru_utime) + Seconds(after.ru_stime) -
                       Seconds(before.ru_stime);
    std::printf("axes %d, samples %llu in %d s\n", monitor.GetAxisCount(),
                static_cast<unsigned long long>(counter.samples.load()), seconds);
    std::printf("CPU time %.3f s (%.4f%% of one core), peak RSS%s\n", cpu, 100.0 * cpu / seconds,
                PeakResidentSet().c_str());
    return 0;
}
