#pragma once
// Runs the built quelmonctl (or another program) as a child process with extra environment variables, reading its
// standard output as it comes (line by line) or whole; its standard error goes to a file.

#include "tests/support/temp_folder.h"
#include "tests/support/text_files.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace quel::test {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class CliProcess {
public:
    // An environment value replaces the inherited one; program: the one to run.
    CliProcess(const std::vector<std::string>& args, const std::map<std::string, std::string>& environment = {},
               const std::string& program = QUELMONCTL_PATH);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // The next line of standard output (with its "\n"); false at the end or after the timeout.
    bool ReadLine(std::string& line, std::chrono::seconds timeout = std::chrono::seconds(30));
    // Everything left on standard output until the end.
    std::string ReadRest();
    void Signal(int signal);
    // Waits for the end; the exit code, or 128 + the signal that ended it.
    int Wait();
    std::string Err() const;

private:
    int pid_ = -1;
    int outFd_ = -1;
    std::string buffer_;
    std::filesystem::path errPath_;
};

// Runs quelmonctl (or another program) to its end.
CliResult RunCli(const std::vector<std::string>& args, const std::map<std::string, std::string>& environment = {},
                 const std::string& program = QUELMONCTL_PATH);

// Environment for a fixture machine's proc and sys trees.
std::map<std::string, std::string> MachineEnvironment(const std::string& procRoot, const std::string& sysRoot);

} // namespace quel::test
