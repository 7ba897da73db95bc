#include "tests/cli/cli_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quel::test {

CliProcess::CliProcess(const std::vector<std::string>& args, const std::map<std::string, std::string>& environment,
                       const std::string& program)
{
    static int counter = 0;
    errPath_ = std::filesystem::temp_directory_path()
             / ("quel-cli-err-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    std::vector<std::string> argStrings {program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<std::string> envStrings;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        if (!environment.contains(entry.substr(0, entry.find('='))))
            envStrings.push_back(entry);
    }
    for (const auto& [name, value] : environment)
        envStrings.push_back(name + "=" + value);
    std::vector<char*> argv;
    for (std::string& arg : argStrings)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : envStrings)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    const int errFd = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::dup2(errFd, STDERR_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    ::close(errFd);
    outFd_ = pipeFds[0];
}

CliProcess::~CliProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        Wait();
    }
    if (outFd_ >= 0)
        ::close(outFd_);
    std::error_code ignored;
    std::filesystem::remove(errPath_, ignored);
}

bool CliProcess::ReadLine(std::string& line, std::chrono::seconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const std::size_t end = buffer_.find('\n'); end != std::string::npos) {
            line = buffer_.substr(0, end + 1);
            buffer_.erase(0, end + 1);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd fd {outFd_, POLLIN, 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char chunk[4096];
        const ssize_t got = ::read(outFd_, chunk, sizeof chunk);
        if (got <= 0)
            return false;
        buffer_.append(chunk, static_cast<std::size_t>(got));
    }
}

std::string CliProcess::ReadRest()
{
    std::string rest;
    std::string line;
    while (ReadLine(line))
        rest += line;
    rest += buffer_;  // an unfinished last line
    buffer_.clear();
    return rest;
}

void CliProcess::Signal(int signal)
{
    if (pid_ > 0)
        ::kill(pid_, signal);
}

int CliProcess::Wait()
{
    if (pid_ <= 0)
        return -1;
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

std::string CliProcess::Err() const { return ReadFile(errPath_); }

CliResult RunCli(const std::vector<std::string>& args, const std::map<std::string, std::string>& environment,
                 const std::string& program)
{
    CliProcess process(args, environment, program);
    CliResult result;
    result.out = process.ReadRest();
    result.exitCode = process.Wait();
    result.err = process.Err();
    return result;
}

std::map<std::string, std::string> MachineEnvironment(const std::string& procRoot, const std::string& sysRoot)
{
    return {{"QUELLARIMOND_PROCFS", procRoot}, {"QUELLARIMOND_SYSFS", sysRoot}};
}

} // namespace quel::test
