// ServiceWorker: the service's work, the same in console mode and under systemd.

#include "service/service.h"

#include "engine/counter_monitor.h"
#include "engine/metrics_names.h"
#include "platform/computer_address.h"
#include "platform/linux_perf_data_source.h"
#include "platform/program_folders.h"
#include "platform/registry.h"
#include "profile/profile_counters.h"
#include "profile/profile_file.h"
#include "service/metrics_listener.h"
#include "service/service_names.h"

#include <cerrno>
#include <chrono>
#include <exception>
#include <filesystem>
#include <memory>

namespace quel {
namespace {

constexpr std::uint32_t StartWaitHint = 3000;
constexpr int FallbackInterval = 10;
constexpr std::chrono::seconds StopTimeout {5};  // how long StopSampling waits

// The "Profile" value of the logon hive's Service key; empty when none is set. A settings file
// that exists but cannot be read is reported when report is set; a missing file or key means no
// profile chosen.
std::string RegistryProfile(Service& service, bool report)
{
    std::string profile;
    std::string problem;
    if (auto key = RegistryKey::Open(RegistryHive::LogonDefault, ServiceRegistryKey, problem)) {
        key->GetString(ServiceProfileValue, profile);
        return profile;
    }
    if (report && !problem.empty())
        service.ReportProblem("cannot read the settings file " + RegistryKey::HiveFile(RegistryHive::LogonDefault) +
                              ": " + problem);
    return profile;
}

std::string AbsolutePath(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

std::string FolderOf(const std::string& path)
{
    return std::filesystem::path(path).parent_path().string();
}

std::string FileNameOf(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

// Loads the profile into the monitor (whose axes were removed); false when the file is not a
// usable profile, after saying why.
bool LoadProfile(Service& service, CounterMonitor& monitor, const std::string& profile)
{
    if (profile.empty())
        return false;
    const ProfileFile file = ProfileFile::Read(profile);
    if (!file.IsProfile()) {
        service.ReportProblem("cannot use the profile " + profile + ": " + file.Reason() +
                              "; logging the default counters");
        return false;
    }
    if (!monitor.LoadProfile(profile, file)) {
        service.ReportProblem("cannot read the profile " + profile + "; logging the default counters");
        return false;
    }
    if (monitor.GetAxisCount() == 0) {
        service.ReportProblem("the profile " + profile + " holds no counters; logging the default counters");
        return false;
    }
    return true;
}

// The folder whose Logs/ takes the log meant for folder/Logs/: folder itself when that can be
// written, else the data folder; empty when neither can. A loaded profile's log that has to
// move is reported; the fallback's folder is the program's, which is read-only when installed.
std::string LogBaseFolder(Service& service, const std::string& folder, bool reportMove)
{
    const FolderChoice choice = ChooseWritableFolder(folder, DataFolder(), "Logs");
    std::string base = choice.folder;
    if (!base.empty())
        base.pop_back();
    if (base.empty()) {
        service.ReportProblem("cannot write the log in " + folder + "/Logs (" + choice.preferredProblem + ") nor in " +
                              WithSlash(DataFolder()) + "Logs (" + choice.fallbackProblem + "); nothing is logged");
    } else if (reportMove && !choice.preferredProblem.empty()) {
        service.ReportProblem("cannot write the log in " + folder + "/Logs: " + choice.preferredProblem +
                              "; logging to " + base + "/Logs");
    }
    return base;
}

// The standard counter set every 10 s, logged as "ServiceDefault" beside the program.
void UseDefaultProfile(Service& service, CounterMonitor& monitor)
{
    monitor.ResetSettings();  // nothing of a profile that failed half-way is kept
    monitor.SetUpDefaultProfile();
    MonitorSettings settings = monitor.GetSettings();
    settings.Interval = FallbackInterval;
    monitor.ApplySettings(settings);
    std::string folder = ProgramFolder();
    if (!folder.empty())
        folder.pop_back();
    const std::string base = LogBaseFolder(service, folder, false);
    if (!base.empty())
        monitor.SetLogLocation(base + "/" + FallbackProfileName, false);
}

// A loaded profile logs beside itself; when it cannot, its log moves to the data folder.
void CheckProfileLog(Service& service, CounterMonitor& monitor, const std::string& profile)
{
    if (monitor.GetSettings().LogMode == 0)
        return;
    const std::string folder = FolderOf(profile);
    const std::string base = LogBaseFolder(service, folder, true);
    if (!base.empty() && base != folder)
        monitor.SetLogLocation(base + "/" + FileNameOf(profile), false);
}

// The final step: the monitor may only go once its sampling thread has ended. StopSampling
// gives up after 5 s; the monitor's destructor then waits for the thread to end.
void EndMonitor(Service& service, std::unique_ptr<CounterMonitor>& monitor)
{
    if (!monitor)
        return;
    const auto start = std::chrono::steady_clock::now();
    // False at once only while the thread is still starting; the destructor then ends it.
    if (!monitor->StopSampling() && std::chrono::steady_clock::now() - start >= StopTimeout)
        service.ReportProblem("counter collection did not stop within 5 s; waiting for it to end");
    monitor.reset();
}

void OpenMetricsListener(Service& service, MetricsListener& listener, const CounterMonitor& monitor,
                         const std::string& profileName)
{
    if (service.MetricsListenPort().empty())
        return;
    std::string reason;
    if (!listener.Open(service.MetricsListenPort(), service.MetricsWebConfig(), monitor, profileName, reason)) {
        service.ReportProblem("cannot open the metrics listener on " + service.MetricsAddressText() + ": " + reason +
                              "; logging goes on without it");
    }
}

// The word after "-run" wins; the settings file is not even read then.
std::string ChosenProfile(Service& service, const std::vector<std::string>& arguments, bool report = true)
{
    const std::string profile = arguments.size() > 2 ? arguments[2] : RegistryProfile(service, report);
    return profile.empty() ? profile : AbsolutePath(profile);
}

// The monitor's problems (a log that stops taking rows, and takes them again) go where the
// service's own do.
class ProblemReport final : public MessageSink {
public:
    explicit ProblemReport(Service& service) : service_(service) {}
    void ShowMessage(const std::string& text) override { service_.ReportProblem(text); }

private:
    Service& service_;
};

void RunWorker(Service& service, const std::vector<std::string>& arguments)
{
    ProblemReport problems(service);
    const auto report = [&service] {
        return service.ReportServiceStatus(ServiceState::StartPending, 0, StartWaitHint) &&
               !service.GetStopEvent().IsSet();
    };
    // The source outlives the monitor, which reads through it until its thread has ended.
    LinuxPerfDataSource source;
    std::unique_ptr<CounterMonitor> monitor;
    MetricsListener listener;  // reads the monitor: closed before the monitor ends
    const auto finish = [&] {
        listener.Close();
        EndMonitor(service, monitor);
    };

    MonitorEnvironment environment;
    environment.source = &source;
    environment.interactive = false;
    environment.problems = &problems;
    monitor = std::make_unique<CounterMonitor>(environment);
    if (!report())
        return finish();

    // The StopEvent exists for the whole run, so that a stop during start-up is not lost.
    if (!report())
        return finish();

    const std::string profile = ChosenProfile(service, arguments);
    if (!report())
        return finish();

    monitor->SetUpDefaultProfile();
    monitor->RemoveAllAxes();
    const bool loaded = LoadProfile(service, *monitor, profile);
    if (!report())
        return finish();

    if (loaded)
        CheckProfileLog(service, *monitor, profile);
    else
        UseDefaultProfile(service, *monitor);
    if (!report())
        return finish();

    if (!monitor->StartSampling(nullptr, false))
        service.ReportProblem("cannot start sampling the counters");
    OpenMetricsListener(service, listener, *monitor, MetricsProfileName(loaded ? profile : FallbackProfileName));

    if (service.ReportServiceStatus(ServiceState::Running, 0, 0))
        service.GetStopEvent().Wait();
    finish();
}

} // namespace

bool ProfileNamesOtherComputers(Service& service, const std::vector<std::string>& arguments)
{
    // Quiet: the worker reports what is wrong with the settings file or the profile.
    const std::string profile = ChosenProfile(service, arguments, false);
    if (profile.empty())
        return false;
    const ProfileFile file = ProfileFile::Read(profile);
    if (!file.IsProfile())
        return false;
    const std::string host = LocalHostName();
    for (const std::string& path : ProfileCounterPaths(file.Text())) {
        if (PathReadsOverHttp(path, host))
            return true;
    }
    return false;
}

void ServiceWorker(Service& service, const std::vector<std::string>& arguments)
{
    try {
        RunWorker(service, arguments);
    } catch (const std::exception& error) {
        // Only allocation can throw here; the monitor has been ended by then.
        errno = ENOMEM;
        service.ReportServiceError(std::string("stopped: ") + error.what());
        service.ReportProblem(std::string("stopped: ") + error.what());
    }
}

} // namespace quel
