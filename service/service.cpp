#include "service/service.h"

#include "service/command_line.h"
#include "service/event_log.h"
#include "service/metrics_listener.h"
#include "service/module_host.h"
#include "service/service_installer.h"
#include "service/service_names.h"

#include "platform/registry.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace quel {
namespace {

void Print(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

// systemd marks the processes of its units with these variables. They are inherited, though:
// a shell in a terminal that runs inside a unit (a desktop's terminal) has them too, so a
// terminal on standard input means a console start.
bool StartedBySystemd()
{
    return (std::getenv("INVOCATION_ID") || std::getenv("NOTIFY_SOCKET")) && !::isatty(STDIN_FILENO);
}

// A value of the settings file's [Service]; none when it is not set.
std::optional<std::string> ConfiguredServiceValue(const char* name)
{
    std::string value;
    if (auto key = RegistryKey::Open(RegistryHive::LogonDefault, ServiceRegistryKey)) {
        if (key->GetString(name, value))
            return value;
    }
    return std::nullopt;
}

} // namespace

void Service::ChooseMetricsListener(const std::vector<std::string>& original, std::vector<std::string>& arguments)
{
    std::optional<std::string> webConfig;
    std::string webProblem;
    TakeMetricsWebConfigOption(arguments, webConfig, webProblem);
    std::optional<std::string> address;
    std::string problem;
    TakeMetricsOption(arguments, address, problem);
    if (!problem.empty())
        ReportProblem(problem + "; logging goes on without a metrics listener");
    if (!address && problem.empty())
        address = ConfiguredServiceValue(MetricsListenValue);
    if (!address || address->empty())
        return;
    // A listener meant to be guarded by a web configuration never opens without it; the
    // option's file, else the settings file's.
    if (!webProblem.empty()) {
        ReportProblem("cannot open the metrics listener on " + *address + ": " + webProblem +
                      "; logging goes on without it");
        return;
    }
    if (!webConfig)
        webConfig = ConfiguredServiceValue(MetricsWebConfigValue);
    std::string port;
    std::string reason;
    if (!ParseListenAddress(*address, port, reason)) {
        ReportProblem("cannot open the metrics listener on " + *address + ": " + reason +
                      "; logging goes on without it");
        return;
    }
    if (!loadsModules_) {
        RunModuleHost(original, reason);  // returns only when that failed
        ReportProblem("cannot open the metrics listener on " + *address + ": " + reason +
                      "; logging goes on without it");
        return;
    }
    metricsText_ = *address;
    metricsPort_ = port;
    if (webConfig && !webConfig->empty()) {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(*webConfig, error);
        metricsWebConfig_ = error ? *webConfig : absolute.string();
    }
}

void Service::ChooseModuleHost(const std::vector<std::string>& original, const std::vector<std::string>& arguments)
{
    if (loadsModules_ || !ProfileNamesOtherComputers(*this, arguments))
        return;
    std::string reason;
    RunModuleHost(original, reason);  // returns only when that failed
    ReportProblem("cannot read the counters of other computers: " + reason);
}

int Service::Main(int argc, const char* const* argv)
{
    // A closed console or pipe must not kill the service in the middle of a log row.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> original(argv, argv + argc);
    std::vector<std::string> arguments = original;
    switch (ParseServiceCommand(argc, argv)) {
    case ServiceCommand::Install:
        return InstallService() ? 0 : 1;
    case ServiceCommand::Remove:
        return RemoveService() ? 0 : 1;
    case ServiceCommand::Help:
        Print(UsageText());
        return 0;
    case ServiceCommand::Version:
        Print(VersionText());
        return 0;
    case ServiceCommand::Unknown:
        std::fprintf(stderr, "%s: unknown argument \"%s\"\n%s", ProgramName, argv[1], UsageText().c_str());
        return 2;
    case ServiceCommand::Run:
        consoleMode_ = true;
        ChooseMetricsListener(original, arguments);
        ChooseModuleHost(original, arguments);
        ConsoleRun(arguments);
        return 0;
    case ServiceCommand::Dispatch:
        break;
    }
    // Under systemd the listener is chosen before anything is printed: the module host that
    // may take over prints the usage itself.
    if (argc == 1 && StartedBySystemd()) {
        ChooseMetricsListener(original, arguments);
        ChooseModuleHost(original, arguments);
    }
    Print(UsageText());
    if (!StartServiceCtrlDispatcher(argc)) {
        errno = ENOTCONN;  // no service manager to connect to
        ReportServiceError("failed to start");
    }
    return 0;
}

// --- console ---------------------------------------------------------------------------------

void Service::ConsoleRun(const std::vector<std::string>& arguments)
{
    Print(std::string("Starting ") + ServiceName + " service as a console application.\n");
    Print("Use Control-C to interrupt the program.\n");
    if (!signals_.Start([this](int signal) { ConsoleCtrlHandler(signal); })) {
        ReportProblem("cannot watch for Control-C; stop the program with kill -9");
    }
    ServiceWorker(*this, arguments);
    signals_.Stop();
}

void Service::ConsoleCtrlHandler(int /*signal*/)
{
    Print(std::string("Stopping service ") + ServiceName + ".\n");
    stopEvent_.Set();
}

// --- service ---------------------------------------------------------------------------------

bool Service::StartServiceCtrlDispatcher(int argc)
{
    if (argc > 1 || !StartedBySystemd())
        return false;
    ServiceMain({ServiceName});
    return true;
}

void Service::ServiceMain(const std::vector<std::string>& arguments)
{
    // SIGHUP asks a daemon to reload; with nothing to reload it only reports the state again.
    const auto control = [this](int signal) {
        ServiceControlHandler(signal == SIGHUP ? ServiceControlInterrogate : ServiceControlStop);
    };
    if (!signals_.Start(control)) {
        ReportServiceError("failed to register the control handler");
        return;
    }
    if (ReportServiceStatus(ServiceState::StartPending, 0, 3000))
        ServiceWorker(*this, arguments);
    int lastError = 0;
    {
        std::lock_guard guard(statusLock_);
        lastError = lastError_;
    }
    ReportServiceStatus(ServiceState::Stopped, lastError, 0);
    signals_.Stop();
}

void Service::ServiceControlHandler(std::uint32_t control)
{
    if (control == ServiceControlStop) {
        ReportServiceStatus(ServiceState::StopPending, 0, 0);
        stopEvent_.Set();
        return;
    }
    ServiceState state;
    {
        std::lock_guard guard(statusLock_);
        state = status_.currentState;
    }
    ReportServiceStatus(state, 0, 0);
}

bool Service::ReportServiceStatus(ServiceState state, int exitCode, std::uint32_t waitHint)
{
    if (consoleMode_)
        return true;
    bool sent = false;
    {
        std::lock_guard guard(statusLock_);
        status_.controlsAccepted = state == ServiceState::StartPending ? 0 : ServiceAcceptStop;
        status_.currentState = state;
        status_.exitCode = exitCode;
        status_.waitHint = waitHint;
        if (state == ServiceState::Running || state == ServiceState::Stopped)
            status_.checkPoint = 0;
        else
            status_.checkPoint = checkPoint_++;
        sent = notify_.Send(NotifyMessage(status_));
    }
    if (!sent)
        ReportServiceError("failed to report status");
    return sent;
}

void Service::ReportServiceError(const std::string& text)
{
    if (consoleMode_)
        return;
    const int code = errno;
    {
        std::lock_guard guard(statusLock_);
        lastError_ = code;
    }
    EventLog::ReportError(code, text);
}

void Service::ReportProblem(const std::string& text)
{
    if (consoleMode_)
        std::fprintf(stderr, "%s: %s\n", ProgramName, text.c_str());
    else
        EventLog::ReportWarning(text);
}

} // namespace quel
