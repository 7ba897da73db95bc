// quelmondsrvc under systemd: started without arguments, it reports to $NOTIFY_SOCKET and stops
// on SIGTERM. The test plays systemd's part with an abstract datagram socket of its own.

#include "service_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <filesystem>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace quel::test;

namespace {

class FakeNotifySocket {
public:
    FakeNotifySocket()
    {
        static int counter = 0;
        name_ = "@quel-notify-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, name_.data() + 1, name_.size() - 1);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address),
                        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name_.size())) == 0;
    }
    ~FakeNotifySocket() { ::close(fd_); }

    bool Bound() const { return bound_; }
    const std::string& Name() const { return name_; }

    // The next datagram, or "<none>" when nothing came within the (generous) limit.
    std::string Receive() const
    {
        pollfd wait {fd_, POLLIN, 0};
        if (::poll(&wait, 1, 60000) != 1)
            return "<none>";
        char buffer[4096];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        return n < 0 ? "<error>" : std::string(buffer, static_cast<std::size_t>(n));
    }

private:
    std::string name_;
    int fd_ = -1;
    bool bound_ = false;
};

std::string StartPending(int step)
{
    return "EXTEND_TIMEOUT_USEC=3000000\nSTATUS=Starting (step " + std::to_string(step) + ")";
}

class ServiceModeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        machine_.Use(process_);
        WriteFile(root_ / "web.qlmd", ProfileText(1, 1, 0, {{"Committed", "\\Memory\\% Committed Bytes In Use"}}));
        WriteFile(root_ / "settings.conf", "[Service]\nProfile=" + (root_ / "web.qlmd").string() + "\n");
        process_.SetEnv("QUELLARIMOND_SYSTEM_CONFIG", root_ / "settings.conf");
        process_.SetEnv("XDG_DATA_HOME", root_ / "data");
    }

    std::string Log() const { return root_ / "Logs/web-log.html"; }

    TempFolder root_;
    FixtureMachine machine_;
    ServiceProcess process_;
};

TEST_F(ServiceModeTest, ReportsEachStepThenRunsUntilTerminated)
{
    FakeNotifySocket systemd;
    ASSERT_TRUE(systemd.Bound());
    process_.SetEnv("NOTIFY_SOCKET", systemd.Name());
    process_.SetEnv("INVOCATION_ID", "0123456789abcdef0123456789abcdef");
    ASSERT_TRUE(process_.Start({}));

    for (int step = 1; step <= 6; ++step)
        EXPECT_EQ(systemd.Receive(), StartPending(step));
    EXPECT_EQ(systemd.Receive(), "READY=1\nSTATUS=Running");
    EXPECT_TRUE(WaitFor([&] { return HtmlRows(ReadFile(Log())) > 0; })) << process_.Stderr();

    ASSERT_TRUE(process_.Signal(SIGHUP));  // nothing to reload: the state is reported again
    EXPECT_EQ(systemd.Receive(), "READY=1\nSTATUS=Running");
    ASSERT_TRUE(process_.Signal(SIGTERM));
    EXPECT_EQ(systemd.Receive(), "STOPPING=1\nSTATUS=Stopping");
    EXPECT_EQ(systemd.Receive(), "STATUS=Stopped");
    EXPECT_EQ(process_.Wait(), 0);
    EXPECT_EQ(process_.Stdout(), Usage);
    EXPECT_EQ(process_.Stderr(), "");
}

// With a listener the static program hands over to the module host: the same process, so
// systemd (NotifyAccess=main) takes its reports as before.
TEST_F(ServiceModeTest, WithAListenerTheSameProcessReportsAndServes)
{
    FakeNotifySocket systemd;
    ASSERT_TRUE(systemd.Bound());
    LoopbackPort port;
    port.Release();
    WriteFile(root_ / "settings.conf",
              "[Service]\nProfile=" + (root_ / "web.qlmd").string() + "\nMetricsListen=" + port.Address() + "\n");
    process_.SetEnv("NOTIFY_SOCKET", systemd.Name());
    process_.SetEnv("INVOCATION_ID", "0123456789abcdef0123456789abcdef");
    process_.SetEnv("QUELLARIMOND_MODULE_DIR", QUEL_MODULE_BUILD_DIR);
    ASSERT_TRUE(process_.Start({}));
    for (int step = 1; step <= 6; ++step)
        EXPECT_EQ(systemd.Receive(), StartPending(step));
    EXPECT_EQ(systemd.Receive(), "READY=1\nSTATUS=Running");
    // The process that reported (the one systemd started) has the module loaded.
    EXPECT_NE(ReadFile("/proc/" + std::to_string(process_.Pid()) + "/maps").find("quel_metrics.so"), std::string::npos);
    EXPECT_TRUE(WaitFor([&] { return HtmlRows(ReadFile(Log())) > 0; })) << process_.Stderr();
    ASSERT_TRUE(process_.Signal(SIGTERM));
    EXPECT_EQ(systemd.Receive(), "STOPPING=1\nSTATUS=Stopping");
    EXPECT_EQ(systemd.Receive(), "STATUS=Stopped");
    EXPECT_EQ(process_.Wait(), 0);
    EXPECT_EQ(process_.Stdout(), Usage);
}

TEST_F(ServiceModeTest, RunsWithoutNotificationSocketWhenSystemdGivesNone)
{
    process_.SetEnv("INVOCATION_ID", "0123456789abcdef0123456789abcdef");
    ASSERT_TRUE(process_.Start({}));
    EXPECT_TRUE(WaitFor([&] { return HtmlRows(ReadFile(Log())) > 0; })) << process_.Stderr();
    ASSERT_TRUE(process_.Signal(SIGTERM));
    EXPECT_EQ(process_.Wait(), 0);
}

TEST_F(ServiceModeTest, FailedStatusReportEndsTheServiceBeforeItSamples)
{
    process_.SetEnv("NOTIFY_SOCKET", "@quel-nobody-listens-" + std::to_string(::getpid()));
    EXPECT_EQ(process_.Run({}), 0);
    EXPECT_EQ(process_.Stdout(), Usage);
    EXPECT_FALSE(fs::exists(root_ / "Logs"));
}

TEST_F(ServiceModeTest, OutsideSystemdTheDispatcherFailsAfterTheUsage)
{
    EXPECT_EQ(process_.Run({}), 0);
    EXPECT_EQ(process_.Stdout(), Usage);
    EXPECT_EQ(process_.Run({"-help"}), 0);
    EXPECT_EQ(process_.Stdout(), Usage);
    // An argument means a console start, even inside a systemd unit: one it does not know is
    // a usage error.
    process_.SetEnv("INVOCATION_ID", "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(process_.Run({"profile.qlmd"}), 2);
    EXPECT_EQ(process_.Stdout(), "");
    EXPECT_EQ(process_.Stderr(), std::string("quelmondsrvc: unknown argument \"profile.qlmd\"\n") + Usage);
    EXPECT_FALSE(fs::exists(root_ / "Logs"));
}

TEST_F(ServiceModeTest, TerminalInsideAUnitIsAConsoleStart)
{
    // A desktop's terminal may run inside a systemd unit and pass its variables on.
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(::grantpt(terminal), 0);
    ASSERT_EQ(::unlockpt(terminal), 0);
    process_.SetStdin(::ptsname(terminal));
    process_.SetEnv("INVOCATION_ID", "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(process_.Run({}), 0);
    EXPECT_EQ(process_.Stdout(), Usage);
    EXPECT_FALSE(fs::exists(root_ / "Logs"));
    ::close(terminal);
}

} // namespace
