#pragma once
// Service: the service program as a whole. It reads its command line, installs or removes the
// systemd unit, runs the worker as a console program ("-run") or as a service under systemd,
// reports its status to systemd and its failures to the system log, and turns stop signals
// into the StopEvent.
//
// Threads: the main thread runs the worker; the signal watcher calls the control and console
// handlers, which only report and set the StopEvent; the monitor samples on its own thread.

#include "service/notify_socket.h"
#include "service/service_status.h"
#include "service/signal_watcher.h"
#include "service/stop_event.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace quel {

class Service {
public:
    // loadsModules: this link of the program can load modules (the static one runs the module
    // host when it needs one).
    explicit Service(bool loadsModules = true) : loadsModules_(loadsModules) {}

    // The program's entry: the command's work, then 0.
    int Main(int argc, const char* const* argv);

    // In ConsoleMode it only returns true. Otherwise it records and sends the status; a failed
    // send is reported with ReportServiceError and gives false.
    bool ReportServiceStatus(ServiceState state, int exitCode, std::uint32_t waitHint);
    // A failure of the service (nothing in ConsoleMode): errno becomes the last error code and
    // goes to the system log with the text.
    void ReportServiceError(const std::string& text);
    // A problem the worker got around (a profile it could not use, a log folder it could not
    // write): one line on stderr in ConsoleMode, a warning in the system log otherwise.
    void ReportProblem(const std::string& text);

    bool ConsoleMode() const { return consoleMode_; }
    // The metrics listener's address as configured, and in the module's form; empty: none.
    const std::string& MetricsAddressText() const { return metricsText_; }
    const std::string& MetricsListenPort() const { return metricsPort_; }
    // Its web configuration file (users, TLS); empty: none.
    const std::string& MetricsWebConfig() const { return metricsWebConfig_; }
    StopEvent& GetStopEvent() { return stopEvent_; }

private:
    // The listener from "-metrics" or the settings file; runs the module host when this
    // program cannot load the module. Before any thread starts.
    void ChooseMetricsListener(const std::vector<std::string>& original, std::vector<std::string>& arguments);
    // Runs the module host when the profile's counters name other computers, whose HTTP
    // module this link cannot load. Before any thread starts.
    void ChooseModuleHost(const std::vector<std::string>& original, const std::vector<std::string>& arguments);
    void ConsoleRun(const std::vector<std::string>& arguments);
    void ConsoleCtrlHandler(int signal);
    // The "service control dispatcher": runs ServiceMain when systemd started us; false otherwise.
    bool StartServiceCtrlDispatcher(int argc);
    void ServiceMain(const std::vector<std::string>& arguments);
    void ServiceControlHandler(std::uint32_t control);

    bool loadsModules_ = true;
    bool consoleMode_ = false;
    std::string metricsText_;
    std::string metricsPort_;
    std::string metricsWebConfig_;
    StopEvent stopEvent_;
    SignalWatcher signals_;
    NotifySocket notify_;
    std::mutex statusLock_;  // the status record, the checkpoint counter and the last error
    ServiceStatus status_;
    std::uint32_t checkPoint_ = 1;
    int lastError_ = 0;
};

// Steps of the service's work: build the monitor from the profile (or the default counter set),
// sample until the StopEvent, stop and end the monitor.
void ServiceWorker(Service& service, const std::vector<std::string>& arguments);
// Whether the profile the worker would load (the word after "-run", else the settings file's)
// has counters of other computers.
bool ProfileNamesOtherComputers(Service& service, const std::vector<std::string>& arguments);

} // namespace quel
