#pragma once
// A test server (a fake metrics endpoint, the node exporter) run as a child process on
// loopback, stopped by its process id when the test ends.

#include <string>
#include <sys/types.h>
#include <vector>

namespace quel::test {

// A loopback port that was free a moment ago.
int FreeLoopbackPort();

class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts argv[0] (looked up in PATH). With port 0 the server reports the port it bound as
    // the first line of its output; otherwise it is waited for until it accepts on port.
    bool Start(const std::vector<std::string>& argv, int port = 0);
    int Port() const { return port_; }
    pid_t Pid() const { return pid_; }
    // SIGTERM, then SIGKILL if it has not ended within a few seconds; always reaped.
    void Stop();

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// The fake server of tests/support/fake_metrics_server.py in one of its modes.
std::vector<std::string> FakeMetricsServer(const std::string& mode, const std::string& file = {});

} // namespace quel::test
