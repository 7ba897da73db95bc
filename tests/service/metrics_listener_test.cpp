// quelmondsrvc's /metrics listener, end to end against the built program on 127.0.0.1.

#include "platform/loadable_module.h"
#include "service/metrics/metrics_module_api.h"
#include "service_test_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <crypt.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <csignal>
#include <filesystem>
#include <memory>

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

// A connected socket to "127.0.0.1:port" (closed with the object), or an error number.
class Connection {
public:
    explicit Connection(const std::string& address)
    {
        sockaddr_in to {};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(static_cast<std::uint16_t>(std::stoi(address.substr(address.rfind(':') + 1))));
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const timeval limit {10, 0};  // only keeps a broken listener from hanging the test
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
            error_ = errno;
    }
    ~Connection() { ::close(fd_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int Error() const { return error_; }
    bool Send(const std::string& text) { return ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) == ssize_t(text.size()); }
    // Everything until the listener closes the connection (or the time limit).
    std::string Receive()
    {
        std::string text;
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::recv(fd_, buffer, sizeof buffer, 0)) > 0)
            text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }

    // One response on a connection kept alive: the head, then Content-Length bytes of body.
    std::string ReceiveResponse()
    {
        std::string text;
        char buffer[4096];
        for (;;) {
            const std::size_t head = text.find("\r\n\r\n");
            if (head != std::string::npos) {
                const std::size_t field = text.find("Content-Length: ");
                const std::size_t body = field < head ? std::stoul(text.substr(field + 16)) : 0;
                if (text.size() >= head + 4 + body)
                    return text;
            }
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0)
                return text;
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }

private:
    int fd_ = -1;
    int error_ = 0;
};

// One GET /metrics on a connection of its own, with an Authorization header when given.
std::string Scrape(const std::string& address, const std::string& authorization = "")
{
    Connection connection(address);
    std::string request = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    if (!authorization.empty())
        request += "Authorization: Basic " + authorization + "\r\n";
    connection.Send(request + "\r\n");
    return connection.Receive();
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

TEST_F(MetricsListenerTest, HalfSentRequestsDoNotHoldBackScrapes)
{
    // More connections sending half a request than a handful of worker threads would serve.
    LoopbackPort port;
    port.Release();
    Run({"-metrics", port.Address()});
    std::vector<std::unique_ptr<Connection>> halfOpen;
    for (int i = 0; i < 24; ++i) {
        halfOpen.push_back(std::make_unique<Connection>(port.Address()));
        ASSERT_EQ(halfOpen.back()->Error(), 0);
        ASSERT_TRUE(halfOpen.back()->Send("GET /metrics HTTP/1.1\r\n"));
    }
    const std::size_t rows = CsvRows(ReadFile(root_ / "Logs/web-log.csv")).size();
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(Scrape(port.Address()).find("quellarimond_samples_total"), std::string::npos);
    // The listener gives up on a request that does not come whole: it answers 4xx or closes.
    const std::string answer = halfOpen.front()->Receive();
    EXPECT_TRUE(answer.empty() || answer.starts_with("HTTP/1.0 4") || answer.starts_with("HTTP/1.1 4")) << answer;
    EXPECT_TRUE(WaitFor([&] { return CsvRows(ReadFile(root_ / "Logs/web-log.csv")).size() > rows; }));
    Stop();
    EXPECT_EQ(process_.Stderr(), "");
}

TEST_F(MetricsListenerTest, BasicAuthUsersOfTheWebConfigFile)
{
    // A bcrypt hash of the lowest cost, made here through the system's crypt library.
    auto data = std::make_unique<crypt_data>();
    const char* salt = crypt_gensalt_rn("$2b$", 4, nullptr, 0, data->setting, sizeof data->setting);
    ASSERT_NE(salt, nullptr);
    const std::string hash = crypt_r("s3cret", salt, data.get());
    ASSERT_TRUE(hash.starts_with("$2b$04$"));
    WriteFile(root_ / "web.yml", "basic_auth_users:\n  prometheus: " + hash + "\n");
    LoopbackPort port;
    port.Release();
    WriteFile(root_ / "settings.conf", "[Service]\nMetricsListen=" + port.Address() +
                                           "\nMetricsWebConfig=" + (root_ / "web.yml").string() + "\n");
    Run({});

    const std::string none = Scrape(port.Address());
    EXPECT_TRUE(none.starts_with("HTTP/1.1 401")) << none;
    EXPECT_NE(none.find("WWW-Authenticate: Basic"), std::string::npos) << none;
    EXPECT_EQ(none.find("quellarimond_"), std::string::npos);
    // prometheus:wrong, prometheus:s3cret, nobody:s3cret
    EXPECT_TRUE(Scrape(port.Address(), "cHJvbWV0aGV1czp3cm9uZw==").starts_with("HTTP/1.1 401"));
    EXPECT_TRUE(Scrape(port.Address(), "bm9ib2R5OnMzY3JldA==").starts_with("HTTP/1.1 401"));
    EXPECT_TRUE(Scrape(port.Address(), "not base64 at all").starts_with("HTTP/1.1 401"));
    const std::string right = Scrape(port.Address(), "cHJvbWV0aGV1czpzM2NyZXQ=");
    EXPECT_TRUE(right.starts_with("HTTP/1.1 200")) << right;
    EXPECT_NE(right.find("quellarimond_samples_total"), std::string::npos);
    Stop();
    EXPECT_EQ(process_.Stderr(), "");
}

TEST_F(MetricsListenerTest, BrokenWebConfigIsOneLineAndNoListenerAndLoggingGoesOn)
{
    const std::string file = (root_ / "web.yml").string();
    const std::string hash = "$2b$04$C2Y2eDsqWnJzzq2HN3C0W.5pBDW6WKWKbc6QDLrhUuPBv.w8/2lLO";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "cannot read the web configuration " + file + ": No such file or directory"},
        {"basic_auth_users: [unclosed\n", "the web configuration " + file + ": not YAML (line 2: end of sequence flow not found)"},
        {"basic_auth_users:\n  prometheus: secret\n",
         "the web configuration " + file + ": the password hash of user \"prometheus\" is not a bcrypt hash ($2b$, $2y$ or $2a$)"},
        {"basic_auth_user:\n  prometheus: " + hash + "\n",
         "the web configuration " + file + ": unknown key \"basic_auth_user\" (known: basic_auth_users, tls_server_config)"},
        {"tls_server_config:\n  cert_file: a.crt\n  key_file: a.key\n",
         "the web configuration " + file + " has a tls_server_config, but this system's web server library (civetweb) "
         "cannot serve TLS safely; let a reverse proxy serve TLS in front of a loopback listener (README: TLS through "
         "a reverse proxy)"},
    };
    for (const auto& [text, reason] : cases) {
        SCOPED_TRACE(reason);
        std::filesystem::remove(file);
        std::filesystem::remove_all(root_ / "Logs");
        if (!text.empty())
            WriteFile(file, text);
        LoopbackPort port;
        port.Release();
        Run({"-metrics", port.Address(), "-metrics-web-config", file});
        EXPECT_EQ(Connection(port.Address()).Error(), ECONNREFUSED);
        const std::size_t rows = CsvRows(ReadFile(root_ / "Logs/web-log.csv")).size();
        EXPECT_TRUE(WaitFor([&] { return CsvRows(ReadFile(root_ / "Logs/web-log.csv")).size() > rows; }));
        Stop();
        EXPECT_EQ(process_.Stderr(), "quelmondsrvc: cannot open the metrics listener on " + port.Address() + ": " +
                                         reason + "; logging goes on without it\n");
    }
}

void EmptyPage(void*, QuelMetricsDeliver* deliver, void* deliverContext)
{
    const QuelMetricsPage page {"bound", nullptr, 0, 0, 0, 0.0, 0};
    deliver(&page, deliverContext);
}

// The metrics module with a bound of a few connections, held open by keep-alive scrapes: one
// more is answered 503 instead of waiting for a worker, and the places come back when the
// held connections close (twice, so that a place lost or given back twice shows).
TEST(MetricsModuleTest, ConnectionsBeyondTheBoundAreRefusedAndThePlacesComeBack)
{
    std::string reason;
    const quel::LoadableModule module = quel::LoadableModule::OpenFile(
        std::string(QUEL_MODULE_BUILD_DIR) + "/" + quel::ModuleFileName("quel_metrics"), reason);
    ASSERT_TRUE(module.IsOpen()) << reason;
    auto* open = module.Find<QuelMetricsOpen>("quel_metrics_open", reason);
    auto* close = module.Find<QuelMetricsClose>("quel_metrics_close", reason);
    ASSERT_TRUE(open && close) << reason;
    LoopbackPort port;
    port.Release();
    constexpr int Bound = 3;
    char error[256] = "";
    void* listener = open(port.Address().c_str(), "", &EmptyPage, nullptr, Bound, error, sizeof error);
    ASSERT_NE(listener, nullptr) << error;
    const std::string keepAlive = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        // A place comes back once the listener has seen a connection close: until then, retry.
        std::vector<std::unique_ptr<Connection>> held;
        for (int i = 0; i < Bound; ++i) {
            EXPECT_TRUE(WaitFor([&] {
                auto connection = std::make_unique<Connection>(port.Address());
                if (!connection->Send(keepAlive) || !connection->ReceiveResponse().starts_with("HTTP/1.1 200"))
                    return false;
                held.push_back(std::move(connection));
                return true;
            }));
        }
        const std::string refused = Scrape(port.Address());
        EXPECT_TRUE(refused.starts_with("HTTP/1.1 503")) << refused;
        held.clear();
        EXPECT_TRUE(WaitFor([&] { return Scrape(port.Address()).starts_with("HTTP/1.1 200"); }));
    }
    close(listener);
}

} // namespace
