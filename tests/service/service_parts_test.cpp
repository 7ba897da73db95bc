// The service program's parts that need no running program: command line, notification
// messages and addresses, the unit's ExecStart word, the signal watcher.

#include "service/command_line.h"
#include "service/notify_socket.h"
#include "service/service_status.h"
#include "service/service_unit.h"
#include "service/signal_watcher.h"
#include "service/stop_event.h"
#include "service_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstddef>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace quel;
using quel::test::TempFolder;
using quel::test::WriteFile;

namespace {

ServiceCommand Parse(std::vector<const char*> words)
{
    words.insert(words.begin(), "quelmondsrvc");
    return ParseServiceCommand(static_cast<int>(words.size()), words.data());
}

TEST(ServiceCommandLine, OptionsAfterDashOrSlashWithoutCase)
{
    EXPECT_EQ(Parse({"-install"}), ServiceCommand::Install);
    EXPECT_EQ(Parse({"/INSTALL"}), ServiceCommand::Install);
    EXPECT_EQ(Parse({"-Remove"}), ServiceCommand::Remove);
    EXPECT_EQ(Parse({"/run", "p.qlmd"}), ServiceCommand::Run);
    EXPECT_EQ(Parse({"-RUN"}), ServiceCommand::Run);
    EXPECT_EQ(Parse({"--HELP"}), ServiceCommand::Help);
    EXPECT_EQ(Parse({"/?"}), ServiceCommand::Help);
    EXPECT_EQ(Parse({"-version"}), ServiceCommand::Version);
    EXPECT_EQ(Parse({}), ServiceCommand::Dispatch);
    EXPECT_EQ(Parse({"run"}), ServiceCommand::Unknown);
    EXPECT_EQ(Parse({"--run"}), ServiceCommand::Unknown);
    EXPECT_EQ(Parse({"-runs"}), ServiceCommand::Unknown);
    EXPECT_EQ(Parse({"-"}), ServiceCommand::Unknown);
}

TEST(ServiceStatusMessages, EachStateHasItsDatagram)
{
    ServiceStatus status;
    status.currentState = ServiceState::StartPending;
    status.checkPoint = 4;
    status.waitHint = 3000;
    EXPECT_EQ(NotifyMessage(status), "EXTEND_TIMEOUT_USEC=3000000\nSTATUS=Starting (step 4)");
    status.currentState = ServiceState::Running;
    EXPECT_EQ(NotifyMessage(status), "READY=1\nSTATUS=Running");
    status.currentState = ServiceState::StopPending;
    EXPECT_EQ(NotifyMessage(status), "STOPPING=1\nSTATUS=Stopping");
    status.currentState = ServiceState::Stopped;
    EXPECT_EQ(NotifyMessage(status), "STATUS=Stopped");
    status.exitCode = 111;
    EXPECT_EQ(NotifyMessage(status), "STATUS=Stopped\nERRNO=111");
}

TEST(NotifySocketTest, AddressLengthsAndDelivery)
{
    sockaddr_un address {};
    socklen_t length = 0;
    ASSERT_TRUE(NotifySocket::MakeAddress("@abc", address, length));
    EXPECT_EQ(length, offsetof(sockaddr_un, sun_path) + 4);  // no NUL after an abstract name
    EXPECT_EQ(address.sun_path[0], '\0');
    EXPECT_EQ(std::string(address.sun_path + 1, 3), "abc");
    ASSERT_TRUE(NotifySocket::MakeAddress("/run/x", address, length));
    EXPECT_EQ(std::string(address.sun_path), "/run/x");
    EXPECT_FALSE(NotifySocket::MakeAddress("vsock:2:123", address, length));
    EXPECT_FALSE(NotifySocket::MakeAddress("@", address, length));
    EXPECT_FALSE(NotifySocket::MakeAddress("/" + std::string(200, 'x'), address, length));

    // A socket file: what is sent arrives as one datagram.
    TempFolder folder;
    const std::string path = folder / "notify";
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_TRUE(NotifySocket::MakeAddress(path, address, length));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
    EXPECT_TRUE(NotifySocket(path).Send("READY=1"));
    char buffer[64] = {};
    EXPECT_EQ(::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT), 7);
    EXPECT_EQ(std::string(buffer), "READY=1");
    ::close(fd);
    EXPECT_FALSE(NotifySocket(path).Send("READY=1"));  // nobody listens any more
    EXPECT_TRUE(NotifySocket(std::string()).Send("READY=1"));  // no channel: nothing to send
}

TEST(ServiceUnitTest, ExecStartWordEscapesWhatSystemdWouldInterpret)
{
    std::string word;
    std::string problem;
    ASSERT_TRUE(ExecStartWord("/usr/local/bin/quelmondsrvc", word, problem));
    EXPECT_EQ(word, "/usr/local/bin/quelmondsrvc");
    // systemd takes "$" in the command literally: doubling it would name another file.
    ASSERT_TRUE(ExecStartWord("/opt/My Tools/100%/$HOME/quelmondsrvc", word, problem));
    EXPECT_EQ(word, "\"/opt/My Tools/100%%/$HOME/quelmondsrvc\"");
    ASSERT_TRUE(ExecStartWord("/opt/a;b/quelmondsrvc", word, problem));
    EXPECT_EQ(word, "\"/opt/a;b/quelmondsrvc\"");
    ASSERT_TRUE(ExecStartWord("/opt/\xC3\xBCn\xC3\xAF/\xF0\x9F\x93\x88/quelmondsrvc", word, problem));
    EXPECT_EQ(word, "/opt/\xC3\xBCn\xC3\xAF/\xF0\x9F\x93\x88/quelmondsrvc");
    EXPECT_NE(ServiceUnitText("/opt/My Tools/quelmondsrvc").find("\nExecStart=\"/opt/My Tools/quelmondsrvc\"\n"),
              std::string::npos);
}

TEST(ServiceUnitTest, ExecStartWordRefusesWhatSystemdDoesNotRun)
{
    const std::pair<std::string, std::string> refused[] = {
        {"/opt/two\nlines/q", "the path holds a line break, which systemd does not allow in a command"},
        {"/opt/tab\there/q", "the path holds a tab, which systemd does not allow in a command"},
        {std::string("/opt/nul\0/q", 10), "the path holds a control character, which systemd does not allow in a command"},
        {"/opt/bell\a/q", "the path holds a control character, which systemd does not allow in a command"},
        {"/opt/del\x7F/q", "the path holds a control character, which systemd does not allow in a command"},
        {"/opt/a\"b/q", "the path holds a quote, which systemd does not allow in a command"},
        {"/opt/it's/q", "the path holds a quote, which systemd does not allow in a command"},
        {"/opt/back\\slash/q", "the path holds a backslash, which systemd does not allow in a command"},
        {"/opt/latin1-\xFC/q", "the path is not valid UTF-8"},
        {"/opt/cut-\xC3", "the path is not valid UTF-8"},
        {"/opt/overlong-\xC0\xAF/q", "the path is not valid UTF-8"},
        {"/opt/surrogate-\xED\xA0\x80/q", "the path is not valid UTF-8"},
        {"/opt/beyond-\xF4\x90\x80\x80/q", "the path is not valid UTF-8"},
        {"relative/q", "the path is not absolute"},
        {"", "the path is not absolute"},
    };
    for (const auto& [path, reason] : refused) {
        std::string word = "kept";
        std::string problem;
        EXPECT_FALSE(ExecStartWord(path, word, problem)) << path;
        EXPECT_EQ(problem, reason) << path;
    }
}

TEST(SignalWatcherTest, StopSignalsReachTheHandlerOnItsThread)
{
    StopEvent stop;
    int received = 0;
    {
        SignalWatcher watcher;
        ASSERT_TRUE(watcher.Start([&](int signal) {
            received = signal;
            stop.Set();
        }));
        ASSERT_EQ(::kill(::getpid(), SIGQUIT), 0);  // would end the test program if it got through
        stop.Wait();
        watcher.Stop();
    }
    EXPECT_EQ(received, SIGQUIT);
    EXPECT_TRUE(stop.IsSet());
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGUSR1})
        sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

} // namespace
