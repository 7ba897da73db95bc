// ServiceWorker: the service's work, the same in console mode and under systemd.

#include "service/service.h"

#include "engine/counter_monitor.h"
#include "platform/linux_perf_data_source.h"
#include "platform/program_folders.h"
#include "platform/registry.h"
#include "service/program_folders.h"
#include "service/profile_check.h"
#include "service/service_names.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace quel {
namespace {

constexpr std::uint32_t StartWaitHint = 3000;
constexpr int FallbackInterval = 10;
constexpr std::chrono::seconds StopTimeout {5};  // how long StopSampling waits

// Says why the settings file cannot be read, when it exists and cannot; a missing file or a
// missing key is simply "no profile chosen".
std::string SettingsFileProblem(const std::string& file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT ? std::string() : std::strerror(errno);
    struct stat info {};
    std::string problem;
    if (::fstat(fd, &info) != 0)
        problem = std::strerror(errno);
    else if (S_ISDIR(info.st_mode))
        problem = std::strerror(EISDIR);
    else if (!S_ISREG(info.st_mode))
        problem = "not a regular file";
    ::close(fd);
    return problem;
}

// The "Profile" value of the logon hive's Service key; empty when none is set.
std::string RegistryProfile(Service& service)
{
    std::string profile;
    if (auto key = RegistryKey::Open(RegistryHive::LogonDefault, ServiceRegistryKey)) {
        key->GetString(ServiceProfileValue, profile);
        return profile;
    }
    const std::string file = RegistryKey::HiveFile(RegistryHive::LogonDefault);
    const std::string problem = SettingsFileProblem(file);
    if (!problem.empty())
        service.ReportProblem("cannot read the settings file " + file + ": " + problem);
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
    std::string reason;
    if (!CheckProfileFile(profile, reason)) {
        service.ReportProblem("cannot use the profile " + profile + ": " + reason + "; logging the default counters");
        return false;
    }
    if (!monitor.LoadFromFile(profile)) {
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
    std::string reason = "the program's folder is unknown";
    if (!folder.empty() && LogFolderWritable(folder, reason))
        return folder;
    std::string data = DataFolder();
    std::string dataReason = "no folder for data (HOME is not set)";
    if (!data.empty() && MakeFolder(data, dataReason) && LogFolderWritable(data, dataReason)) {
        data.pop_back();
        if (reportMove)
            service.ReportProblem("cannot write the log in " + folder + "/Logs: " + reason + "; logging to " + data + "/Logs");
        return data;
    }
    service.ReportProblem("cannot write the log in " + folder + "/Logs (" + reason + ") nor in " + data + "Logs (" +
                          dataReason + "); nothing is logged");
    return std::string();
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
    const auto finish = [&] { EndMonitor(service, monitor); };

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

    // The word after "-run" wins; the settings file is not even read then.
    std::string profile = arguments.size() > 2 ? arguments[2] : RegistryProfile(service);
    if (!profile.empty())
        profile = AbsolutePath(profile);
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

    if (service.ReportServiceStatus(ServiceState::Running, 0, 0))
        service.GetStopEvent().Wait();
    finish();
}

} // namespace

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
