#include "support/server_process.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <cstdio>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quel::test {
namespace {

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool Accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const sockaddr_in address = Loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

} // namespace

int FreeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        return 0;
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

ServerProcess::~ServerProcess()
{
    Stop();
}

bool ServerProcess::Start(const std::vector<std::string>& argv, int port)
{
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> words = argv;
    std::vector<char*> pointers;
    for (std::string& word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    const int result = posix_spawnp(&pid_, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    if (result != 0) {
        pid_ = -1;
        ::close(output[0]);
        return false;
    }
    if (port == 0) {
        FILE* stream = ::fdopen(output[0], "r");
        char line[32] = {};
        const bool read = stream != nullptr && std::fgets(line, sizeof line, stream) != nullptr;
        if (stream)
            std::fclose(stream);
        port_ = read ? std::atoi(line) : 0;
        return port_ > 0;
    }
    ::close(output[0]);
    port_ = port;
    for (int attempt = 0; attempt < 600; ++attempt) {
        if (Accepts(port))
            return true;
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void ServerProcess::Stop()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::vector<std::string> FakeMetricsServer(const std::string& mode, const std::string& file)
{
    std::vector<std::string> argv = {"python3", QUEL_TEST_SUPPORT_DIR "/fake_metrics_server.py", mode};
    if (!file.empty())
        argv.push_back(file);
    return argv;
}

} // namespace quel::test
