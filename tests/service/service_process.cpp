#include "service_process.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quel::test {

std::string ServiceBinary()
{
    return std::string(QUEL_BINARY_DIR) + "/service/quelmondsrvc";
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::seconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

ServiceProcess::ServiceProcess()
    : program_(ServiceBinary()), stdoutPath_(outputs_ / "stdout"), stderrPath_(outputs_ / "stderr")
{
    environment_["PATH"] = "/usr/local/bin:/usr/bin:/bin";
    // The sanitizers' options of a sanitizer build (scripts/test.sh) reach the program too.
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name))
            environment_[name] = value;
    }
}

ServiceProcess::~ServiceProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool ServiceProcess::Start(const std::vector<std::string>& arguments)
{
    std::vector<std::string> words {program_};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> pairs;
    for (const auto& [name, value] : environment_)
        pairs.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& pair : pairs)
        envp.push_back(pair.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, stdinPath_.c_str(), O_RDONLY | O_NOCTTY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!workingFolder_.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingFolder_.c_str());
    // The child starts with no signal blocked or ignored, whatever the test runner inherited.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int result = posix_spawn(&pid_, program_.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0)
        pid_ = -1;
    return result == 0;
}

bool ServiceProcess::Signal(int signal) const
{
    return pid_ > 0 && ::kill(pid_, signal) == 0;
}

bool ServiceProcess::SetFileSizeLimit(unsigned long long bytes) const
{
    struct rlimit limit {};
    if (pid_ <= 0 || ::prlimit(pid_, RLIMIT_FSIZE, nullptr, &limit) != 0)
        return false;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    return ::prlimit(pid_, RLIMIT_FSIZE, &limit, nullptr) == 0;
}

bool ServiceProcess::ThreadWaitsIn(const std::string& kernelFunction) const
{
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid_) + "/task", error)) {
        if (ReadFile(task.path().string() + "/wchan") == kernelFunction)
            return true;
    }
    return false;
}

int ServiceProcess::Wait(std::chrono::seconds limit)
{
    if (pid_ <= 0)
        return -1;
    int status = 0;
    const bool ended = WaitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, limit);
    if (!ended) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return -1;
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int ServiceProcess::Run(const std::vector<std::string>& arguments)
{
    return Start(arguments) ? Wait() : -1;
}

} // namespace quel::test
