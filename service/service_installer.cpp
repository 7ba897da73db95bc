#include "service/service_installer.h"

#include "platform/atomic_file.h"
#include "service/service_names.h"
#include "service/service_unit.h"
#include "service/systemctl.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quel {
namespace {

// How long RemoveService waits for a stopping service before it calls the stop failed.
constexpr int StopWaitSeconds = 300;

std::string EnvironmentOr(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : std::string(fallback);
}

std::string UnitPath()
{
    return EnvironmentOr("QUELLARIMOND_UNIT_DIR", "/etc/systemd/system") + "/" + UnitName;
}

// The unit the quellarimond-service package ships, or empty when none is there. The folders
// are those packages install units into; QUELLARIMOND_PACKAGE_UNIT_DIR names another (tests).
std::string PackagedUnitPath()
{
    const std::string overridden = EnvironmentOr("QUELLARIMOND_PACKAGE_UNIT_DIR", "");
    const std::vector<std::string> folders = overridden.empty()
        ? std::vector<std::string> {"/lib/systemd/system", "/usr/lib/systemd/system"}
        : std::vector<std::string> {overridden};
    for (const std::string& folder : folders) {
        const std::string path = folder + "/" + UnitName;
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            return path;
    }
    return std::string();
}

void Print(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

// The "service control manager": root on a machine that runs systemd. Prints why not.
bool OpenServiceManager()
{
    const std::string assumeRoot = EnvironmentOr("QUELLARIMOND_ASSUME_ROOT", "");
    const bool root = assumeRoot.empty() ? ::geteuid() == 0 : assumeRoot == "1";
    if (!root) {
        errno = EPERM;
        Print("OpenSCManager failed:\n  " + FormatLastError() + "\n" +
              "  Installing or removing the service needs root: run it with sudo.\n");
        return false;
    }
    const std::string systemd = EnvironmentOr("QUELLARIMOND_SYSTEMD_DIR", "/run/systemd/system");
    struct stat info {};
    if (::stat(systemd.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        errno = ENOENT;
        Print("OpenSCManager failed:\n  " + FormatLastError() + "\n" + "  systemd is not running on this machine (" +
              systemd + " is missing).\n");
        return false;
    }
    return true;
}

// Writes the unit under a temporary name and links it into place, so the unit appears whole
// and an existing one is never overwritten (errno EEXIST). False with errno set.
bool CreateUnitFile(const std::string& path, const std::string& text)
{
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, 0644) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::link(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    ::unlink(temporary.c_str());
    errno = error;
    return ok;
}

std::string ActiveState()
{
    CommandResult result = RunSystemctl({"show", "--property=ActiveState", "--value", UnitName}, true);
    if (!result.Succeeded())
        return std::string();
    std::string state = result.output;
    while (!state.empty() && (state.back() == '\n' || state.back() == '\r' || state.back() == ' '))
        state.pop_back();
    return state;
}

bool IsRunningState(const std::string& state)
{
    return state == "active" || state == "activating" || state == "reloading" || state == "refreshing";
}

bool IsStoppedState(const std::string& state) { return state == "inactive" || state == "failed"; }

// Sends the stop control; when it was accepted prints the stopping lines until it has ended.
void StopRunningService()
{
    if (!IsRunningState(ActiveState()))
        return;
    if (!RunSystemctl({"stop", "--no-block", UnitName}).Succeeded())
        return;
    Print(std::string("Stopping service ") + ServiceName + ".");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::string state = ActiveState();
    for (int waited = 1; !state.empty() && !IsStoppedState(state) && waited < StopWaitSeconds; ++waited) {
        Print(".");
        std::this_thread::sleep_for(std::chrono::seconds(1));
        state = ActiveState();
    }
    if (IsStoppedState(state))
        Print(std::string("\nService ") + ServiceName + " stopped.\n");
    else
        Print(std::string("\nService ") + ServiceName + " failed to stop.\n");
}

} // namespace

std::string FormatLastError()
{
    const int code = errno;
    char text[256];
    std::snprintf(text, sizeof text, "%s (0x%x)", std::strerror(code), static_cast<unsigned>(code));
    return text;
}

bool InstallService()
{
    // A second unit of the same name in /etc would hide the package's one from systemd.
    if (const std::string packaged = PackagedUnitPath(); !packaged.empty()) {
        std::fprintf(stderr,
                     "%s: the quellarimond-service package already provides the unit %s; nothing was "
                     "installed.\n  Enable and start it with: systemctl enable --now quellarimond\n",
                     ProgramName, packaged.c_str());
        return false;  // nothing was installed, which the exit status says
    }
    char program[PATH_MAX];
    if (!::realpath("/proc/self/exe", program)) {
        Print(std::string("Unable to install ") + ServiceName + " - " + FormatLastError() + "\n");
        return false;
    }
    std::string word;
    std::string problem;
    if (!ExecStartWord(program, word, problem)) {
        Print(std::string("Unable to install ") + ServiceName + " - systemd cannot run " + program + ": " + problem +
              "; move the program to another folder\n");
        return false;
    }
    if (!OpenServiceManager())
        return false;
    const std::string unit = UnitPath();
    if (!CreateUnitFile(unit, ServiceUnitText(program))) {
        Print("CreateService failed:\n  " + FormatLastError() + "\n");
        return false;
    }
    const CommandResult reload = RunSystemctl({"daemon-reload"});
    if (!reload.Succeeded()) {
        // systemd does not know the unit: take it back rather than leave half an installation.
        ::unlink(unit.c_str());
        Print("CreateService failed:\n  systemctl daemon-reload: " + reload.Describe() + "\n");
        return false;
    }
    Print(std::string("Service ") + ServiceName + " has been installed.\n");
    return true;
}

bool RemoveService()
{
    if (!OpenServiceManager())
        return false;
    const std::string unit = UnitPath();
    struct stat info {};
    if (::lstat(unit.c_str(), &info) != 0) {
        Print("OpenService failed:\n  " + FormatLastError() + "\n");
        return false;
    }
    StopRunningService();
    // An enabled unit leaves its links behind when only the file goes.
    RunSystemctl({"disable", "--quiet", UnitName});
    if (::unlink(unit.c_str()) != 0) {
        Print("DeleteService failed:\n  " + FormatLastError() + "\n");
        return false;
    }
    const CommandResult reload = RunSystemctl({"daemon-reload"});
    Print(std::string("Service ") + ServiceName + " removed.\n");
    if (!reload.Succeeded())
        std::fprintf(stderr, "%s: systemctl daemon-reload: %s\n", ProgramName, reload.Describe().c_str());
    return reload.Succeeded();
}

} // namespace quel
