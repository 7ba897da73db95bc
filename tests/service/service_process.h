#pragma once
// Runs the built quelmondsrvc as a child process with a chosen environment and working folder,
// capturing its output in files, so tests can signal it and read what it printed.

#include "tests/support/temp_folder.h"
#include "tests/support/text_files.h"

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quel::test {

// The binary the build made.
std::string ServiceBinary();

// Polls until the condition holds or the limit passes; the limit is generous and only keeps a
// broken program from hanging the test.
bool WaitFor(const std::function<bool()>& condition, std::chrono::seconds limit = std::chrono::seconds(60));

class ServiceProcess {
public:
    // The environment starts empty except for PATH, so nothing of the test runner's (a
    // NOTIFY_SOCKET, a real settings file) leaks in.
    ServiceProcess();
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    void SetEnv(const std::string& name, const std::string& value) { environment_[name] = value; }
    void SetWorkingFolder(const std::string& folder) { workingFolder_ = folder; }
    void SetProgram(const std::string& program) { program_ = program; }
    // Standard input (default /dev/null).
    void SetStdin(const std::string& path) { stdinPath_ = path; }

    bool Start(const std::vector<std::string>& arguments);
    bool Signal(int signal) const;
    pid_t Pid() const { return pid_; }
    // Sets the running process's file size limit (ulimit -f), in bytes; RLIM_INFINITY lifts it.
    bool SetFileSizeLimit(unsigned long long bytes) const;
    // Whether one of its threads sleeps in this kernel function (its /proc wait channel).
    bool ThreadWaitsIn(const std::string& kernelFunction) const;
    // The exit code, or -1 when it did not end within the limit (it is then killed).
    int Wait(std::chrono::seconds limit = std::chrono::seconds(60));
    // Start, then Wait.
    int Run(const std::vector<std::string>& arguments);

    std::string Stdout() const { return ReadFile(stdoutPath_); }
    std::string Stderr() const { return ReadFile(stderrPath_); }

private:
    TempFolder outputs_;
    std::string program_;
    std::string workingFolder_;
    std::string stdinPath_ = "/dev/null";
    std::map<std::string, std::string> environment_;
    std::string stdoutPath_;
    std::string stderrPath_;
    pid_t pid_ = -1;
};

} // namespace quel::test
