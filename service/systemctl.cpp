#include "service/systemctl.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quel {
namespace {

std::string SystemctlProgram()
{
    const char* program = std::getenv("QUELLARIMOND_SYSTEMCTL");
    return program && *program ? std::string(program) : std::string("systemctl");
}

void ReadAllFrom(int fd, std::string& output)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        output.append(buffer, static_cast<std::size_t>(n));
    }
}

} // namespace

std::string CommandResult::Describe() const
{
    if (!started)
        return std::string("cannot run systemctl: ") + std::strerror(error);
    if (exitStatus < 0)
        return "killed by a signal";
    return "exit status " + std::to_string(exitStatus);
}

CommandResult RunSystemctl(const std::vector<std::string>& arguments, bool captureOutput)
{
    CommandResult result;
    const std::string program = SystemctlProgram();
    std::vector<std::string> words {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    int pipe[2] = {-1, -1};
    if (captureOutput && ::pipe2(pipe, O_CLOEXEC) != 0) {
        result.error = errno;
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (captureOutput)
        posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    pid_t child = 0;
    // A name with a slash is run as given; a bare name is looked up on PATH.
    const int spawned = program.find('/') != std::string::npos
        ? posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ)
        : posix_spawnp(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (captureOutput)
        ::close(pipe[1]);
    if (spawned != 0) {
        if (captureOutput)
            ::close(pipe[0]);
        result.error = spawned;
        return result;
    }
    result.started = true;
    if (captureOutput) {
        ReadAllFrom(pipe[0], result.output);
        ::close(pipe[0]);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace quel
