// quelmondsrvc's /metrics listener, end to end against the built program on 127.0.0.1.

#include "service_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <csignal>
#include <filesystem>

namespace fs = std::filesystem;
using namespace quel::test;

namespace {

const std::vector<TestAxis> Axes = {
    {"Committed", "\\Memory\\% Committed Bytes In Use", 200, 150, 1},
    {"Gone", "\\Network Interface(nothing)\\Bytes Total/sec", 100000, 50000, 1},
};

// GET with python3's urllib (a test-side client); empty when it fails.
std::string HttpGet(const std::string& url)
{
    const std::string command = "python3 -c 'import sys, urllib.request; "
                                "sys.stdout.write(urllib.request.urlopen(sys.argv[1], timeout=5).read().decode())' '" +
                                url + "' 2>/dev/null";
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            text.append(buffer, n);
        ::pclose(pipe);
    }
    return text;
}

std::string ProcFile(pid_t pid, const std::string& name)
{
    return ReadFile("/proc/" + std::to_string(pid) + "/" + name);
}

std::string ThreadNames(pid_t pid)
{
    std::string names;
    std::error_code error;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error))
        names += ReadFile(task.path() / "comm");
    return names;
}

class MetricsListenerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        machine_.Use(process_);
        process_.SetEnv("QUELLARIMOND_SYSTEM_CONFIG", root_ / "settings.conf");
        process_.SetEnv("QUELLARIMOND_MODULE_DIR", QUEL_MODULE_BUILD_DIR);
        process_.SetEnv("XDG_DATA_HOME", root_ / "data");
        WriteFile(root_ / "web.qlmd", ProfileText(1, 1, 1, Axes));
    }

    // Starts "-run web.qlmd" with extra words after "-run" and waits for two logged rows.
    void Run(const std::vector<std::string>& options)
    {
        std::vector<std::string> words {"-run"};
        words.insert(words.end(), options.begin(), options.end());
        words.push_back(root_ / "web.qlmd");
        ASSERT_TRUE(process_.Start(words));
        ASSERT_TRUE(WaitFor([&] { return CsvRows(ReadFile(root_ / "Logs/web-log.csv")).size() >= 2; }))
            << process_.Stderr();
    }

    void Stop()
    {
        ASSERT_TRUE(process_.Signal(SIGINT));
        EXPECT_EQ(process_.Wait(), 0);
    }

    TempFolder root_;
    FixtureMachine machine_;
    ServiceProcess process_;
};

TEST_F(MetricsListenerTest, WithoutAnAddressNoModuleNoThreadNoProgramChange)
{
    WriteFile(root_ / "settings.conf", "[Service]\nProfile=/elsewhere.qlmd\n");
    Run({});
    const pid_t pid = process_.Pid();
    EXPECT_EQ(ProcFile(pid, "maps").find("quel_metrics"), std::string::npos);
    EXPECT_EQ(ProcFile(pid, "maps").find("prometheus"), std::string::npos);
    EXPECT_EQ(ThreadNames(pid).find("civetweb"), std::string::npos);
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(pid) + "/exe").filename(), "quelmondsrvc");
    Stop();
    EXPECT_EQ(process_.Stderr(), "");
}

TEST_F(MetricsListenerTest, SettingsFileAddressServesTheAxesFromTheModule)
{
    LoopbackPort port;
    port.Release();
    WriteFile(root_ / "settings.conf", "[Service]\nMetricsListen=" + port.Address() + "\n");
    Run({});
    const std::string page = HttpGet("http://" + port.Address() + "/metrics");
    const std::string labels = "{axis=\"Committed\",path=\"\\\\Memory\\\\% Committed Bytes In Use\",profile=\"web\"}";
    EXPECT_NE(page.find("quellarimond_axis_current_value" + labels + " 125"), std::string::npos) << page;
    EXPECT_NE(page.find("quellarimond_axis_critical_value" + labels + " 150"), std::string::npos);
    EXPECT_NE(page.find("quellarimond_axis_critical" + labels + " 0"), std::string::npos);
    EXPECT_EQ(page.find("quellarimond_axis_current_value{axis=\"Gone\""), std::string::npos);
    EXPECT_NE(page.find("quellarimond_axis_max_value{axis=\"Gone\""), std::string::npos);
    EXPECT_NE(page.find("# TYPE quellarimond_samples_total counter"), std::string::npos);
    EXPECT_NE(page.find("quellarimond_failed_reads_total "), std::string::npos);
    EXPECT_NE(page.find("quellarimond_last_sample_timestamp_seconds "), std::string::npos);
    const pid_t pid = process_.Pid();
    EXPECT_NE(ProcFile(pid, "maps").find("quel_metrics.so"), std::string::npos);
    EXPECT_NE(ThreadNames(pid).find("civetweb"), std::string::npos);
    Stop();
    EXPECT_EQ(process_.Stdout(), std::string(ConsoleStart) + ConsoleStop);
    EXPECT_EQ(process_.Stderr(), "");
}

TEST_F(MetricsListenerTest, OptionWinsOverTheSettingsFile)
{
    LoopbackPort configured, option;
    configured.Release();
    option.Release();
    WriteFile(root_ / "settings.conf", "[Service]\nMetricsListen=" + configured.Address() + "\n");
    Run({"-metrics", option.Address()});
    EXPECT_NE(HttpGet("http://" + option.Address() + "/metrics").find("quellarimond_samples_total"), std::string::npos);
    EXPECT_EQ(HttpGet("http://" + configured.Address() + "/metrics"), "");
    Stop();
}

TEST_F(MetricsListenerTest, PortInUseIsOneLineAndLoggingGoesOn)
{
    LoopbackPort taken;
    taken.Listen();
    Run({"-metrics", taken.Address()});
    const std::size_t rows = CsvRows(ReadFile(root_ / "Logs/web-log.csv")).size();
    EXPECT_TRUE(WaitFor([&] { return CsvRows(ReadFile(root_ / "Logs/web-log.csv")).size() > rows; }));
    Stop();
    EXPECT_EQ(process_.Stderr(), "quelmondsrvc: cannot open the metrics listener on " + taken.Address() +
                                     ": Address already in use; logging goes on without it\n");
}

TEST_F(MetricsListenerTest, BadAddressOrMissingOneIsOneLineAndLoggingGoesOn)
{
    Run({"-metrics", "localhost:http"});
    Stop();
    EXPECT_EQ(process_.Stderr(),
              "quelmondsrvc: cannot open the metrics listener on localhost:http: the port \"http\" is not a number "
              "from 1 to 65535; logging goes on without it\n");

    ServiceProcess second;
    machine_.Use(second);
    second.SetEnv("QUELLARIMOND_SYSTEM_CONFIG", root_ / "settings.conf");
    second.SetEnv("XDG_DATA_HOME", root_ / "data");
    ASSERT_TRUE(second.Start({"-run", root_ / "web.qlmd", "-metrics"}));
    ASSERT_TRUE(WaitFor([&] { return second.Stdout().find("Control-C") != std::string::npos; }));
    ASSERT_TRUE(second.Signal(SIGINT));
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(second.Stderr(),
              "quelmondsrvc: -metrics needs an address, such as 127.0.0.1:9187; logging goes on without a metrics "
              "listener\n");
}

} // namespace
