// quel_metrics.so: the service's /metrics page, served by prometheus-cpp (civetweb).

#include "service/metrics/listener_checks.h"
#include "service/metrics/metrics_module_api.h"
#include "service/metrics/metric_families.h"
#include "service/metrics/web_config.h"

#include <CivetServer.h>
#include <civetweb.h>
#include <prometheus/collectable.h>
#include <prometheus/exposer.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

class ServiceCollectable : public prometheus::Collectable {
public:
    ServiceCollectable(QuelMetricsSource* source, void* context) : source_(source), context_(context) {}

    std::vector<prometheus::MetricFamily> Collect() const override
    {
        std::vector<prometheus::MetricFamily> families;
        source_(context_, &Deliver, &families);
        return families;
    }

private:
    static void Deliver(const QuelMetricsPage* page, void* context)
    {
        *static_cast<std::vector<prometheus::MetricFamily>*>(context) = quel::MetricFamilies(*page);
    }

    QuelMetricsSource* source_;
    void* context_;
};

struct Listener {
    explicit Listener(int connections) : bound(connections) {}
    quel::ConnectionBound bound;  // outlives the exposer, whose threads use it
    std::shared_ptr<ServiceCollectable> collectable;
    std::unique_ptr<prometheus::Exposer> exposer;
};

// civetweb's callbacks get a connection, never a pointer of ours; only the server context tells
// listeners apart. civetweb hands the new context to init_context on the thread that makes the
// Exposer, which is how a listener's bound gets filed under its context.
class BoundsByContext {
public:
    void Add(const mg_context* context, quel::ConnectionBound* bound)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        bounds_[context] = bound;
    }
    void Remove(const mg_context* context)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        bounds_.erase(context);
    }
    quel::ConnectionBound* Find(const mg_context* context)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const auto found = bounds_.find(context);
        return found != bounds_.end() ? found->second : nullptr;
    }

private:
    std::mutex mutex_;
    std::map<const mg_context*, quel::ConnectionBound*> bounds_;
};

BoundsByContext boundsByContext;
thread_local quel::ConnectionBound* openingBound = nullptr;

void InitContext(const mg_context* context)
{
    if (openingBound)
        boundsByContext.Add(context, openingBound);
}

void ExitContext(const mg_context* context)
{
    boundsByContext.Remove(context);
}

// The listener's bound when the connection is within it (and now counted), else null.
quel::ConnectionBound* Admit(const mg_connection* connection)
{
    quel::ConnectionBound* bound = boundsByContext.Find(mg_get_context(connection));
    return bound && bound->Admit() ? bound : nullptr;
}

// A connection within the bound carries the bound as its data (and gives its place back when it
// closes); one beyond it carries none.
int InitConnection(const mg_connection* connection, void** data)
{
    *data = Admit(connection);
    return 0;
}

void ConnectionClose(const mg_connection* connection)
{
    if (auto* bound = static_cast<quel::ConnectionBound*>(mg_get_user_connection_data(connection)))
        bound->Release();
}

// A request on a connection beyond the bound is answered 503 at once, and the connection closes.
int BeginRequest(mg_connection* connection)
{
    if (mg_get_user_connection_data(connection))
        return 0;  // civetweb and prometheus-cpp serve it
    // A refused connection kept alive that asks again is served once there is room.
    if (quel::ConnectionBound* bound = Admit(connection)) {
        mg_set_user_connection_data(connection, bound);
        return 0;
    }
    mg_send_http_error(connection, 503, "%s", "Too many connections to the metrics listener; try again later.\n");
    return 503;
}

CivetCallbacks ListenerCallbacks()
{
    CivetCallbacks callbacks;
    callbacks.init_context = &InitContext;
    callbacks.exit_context = &ExitContext;
    callbacks.init_connection = &InitConnection;
    callbacks.connection_close = &ConnectionClose;
    callbacks.begin_request = &BeginRequest;
    return callbacks;
}

// civetweb only says that it could not bind; a bind of our own names the reason.
std::string BindProblem(const std::string& address)
{
    std::string host;
    std::string port = address;
    const std::size_t colon = address.rfind(':');
    if (colon != std::string::npos) {
        host = address.substr(0, colon);
        port = address.substr(colon + 1);
    }
    const bool v6 = !host.empty() && host.front() == '[';
    sockaddr_storage storage {};
    socklen_t length = 0;
    if (v6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(static_cast<std::uint16_t>(std::stoi(port)));
        if (inet_pton(AF_INET6, host.substr(1, host.size() - 2).c_str(), &in6->sin6_addr) != 1)
            return "not an address";
        length = sizeof *in6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(static_cast<std::uint16_t>(std::stoi(port)));
        if (host.empty())
            in4->sin_addr.s_addr = htonl(INADDR_ANY);
        else if (inet_pton(AF_INET, host.c_str(), &in4->sin_addr) != 1)
            return "not an address";
        length = sizeof *in4;
    }
    const int fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::strerror(errno);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    // Our own bind works where civetweb's did not: for IPv6, a civetweb built without it.
    std::string problem = v6 ? "the web server library (civetweb) of this system has no IPv6 support; use an IPv4 address"
                             : "cannot listen there";
    if (::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0)
        problem = std::strerror(errno);
    ::close(fd);
    return problem;
}

// civetweb gives each connection a worker thread of its own from accept to close, so a
// connection that sends half a request holds a worker until request_timeout_ms. With fewer
// workers than such connections, scrapes queue behind them; so there are enough workers for
// hundreds of them at once (idle workers cost a few KiB each), and a request must arrive whole
// within a few seconds. Connections beyond that bound are not left waiting in civetweb's queue:
// a few more workers take them and answer 503 at once (ConnectionBound). Only when those are
// busy too do connections wait in the queue and the kernel's listen backlog.
constexpr int MaxWorkers = 640;
constexpr int RefusalWorkers = 8;
constexpr int ConnectionQueue = 64;
// File descriptors the rest of the service may hold besides the listener's connections.
constexpr rlim_t OtherFiles = 128;

// Connections served at once, for which there are file descriptors: civetweb spins on accept()
// while it has none left. Raises the soft limit up to the hard one when that is needed, as most
// servers do.
int ServedConnections()
{
    const rlim_t wanted = MaxWorkers + RefusalWorkers + ConnectionQueue + OtherFiles;
    rlimit files {};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0)
        return 8;
    if (files.rlim_cur != RLIM_INFINITY && files.rlim_cur < wanted) {
        const rlim_t raised = files.rlim_max == RLIM_INFINITY ? wanted : std::min(files.rlim_max, wanted);
        rlimit changed = files;
        changed.rlim_cur = raised;
        if (raised > files.rlim_cur && ::setrlimit(RLIMIT_NOFILE, &changed) == 0)
            files = changed;
    }
    if (files.rlim_cur == RLIM_INFINITY || files.rlim_cur >= wanted)
        return MaxWorkers;
    const rlim_t reserved = RefusalWorkers + ConnectionQueue + OtherFiles;
    const rlim_t spare = files.rlim_cur > reserved ? files.rlim_cur - reserved : 0;
    return std::max(8, static_cast<int>(spare));
}

std::vector<std::string> CivetOptions(const std::string& address, int servedConnections)
{
    return {
        "listening_ports",       address,
        "num_threads",           std::to_string(servedConnections + RefusalWorkers),
        "connection_queue",      std::to_string(ConnectionQueue),
        "listen_backlog",        "512",
        "request_timeout_ms",    "3000",  // the whole request, from the first byte to the end of the headers
        "enable_keep_alive",     "yes",   // Prometheus keeps its connection between scrapes...
        "keep_alive_timeout_ms", "3000",  // ...but an idle one gives its worker back after 3 s
        "max_request_size",      "16384", // a longer request head gets an error and is closed
    };
}

std::string TlsRefusal(const std::string& path)
{
    return "the web configuration " + path +
           " has a tls_server_config, but this system's web server library (civetweb) cannot serve TLS safely; "
           "let a reverse proxy serve TLS in front of a loopback listener (README: TLS through a reverse proxy)";
}

void WriteError(char* error, std::size_t size, const std::string& text)
{
    if (error && size > 0)
        std::snprintf(error, size, "%s", text.c_str());
}

} // namespace

extern "C" __attribute__((visibility("default"))) void* quel_metrics_open(const char* address,
                                                                          const char* webConfig,
                                                                          QuelMetricsSource* source,
                                                                          void* sourceContext, int maxConnections,
                                                                          char* error, std::size_t errorSize)
{
    try {
        // The file is read before anything listens: a listener meant to be closed never opens.
        quel::WebConfig config;
        std::string reason;
        if (webConfig && *webConfig) {
            if (!quel::ReadWebConfig(webConfig, config, reason)) {
                WriteError(error, errorSize, reason);
                return nullptr;
            }
            if (config.tls) {
                WriteError(error, errorSize, TlsRefusal(webConfig));
                return nullptr;
            }
        }
        const int served = maxConnections > 0 ? maxConnections : ServedConnections();
        auto listener = std::make_unique<Listener>(served);
        listener->collectable = std::make_shared<ServiceCollectable>(source, sourceContext);
        const CivetCallbacks callbacks = ListenerCallbacks();
        try {
            openingBound = &listener->bound;
            listener->exposer = std::make_unique<prometheus::Exposer>(CivetOptions(address, served), &callbacks);
            openingBound = nullptr;
        } catch (const std::exception&) {
            openingBound = nullptr;
            WriteError(error, errorSize, BindProblem(address));
            return nullptr;
        }
        // The check is in place before the page has anything on it.
        if (!config.users.empty()) {
            auto check = std::make_shared<quel::PasswordCheck>(std::move(config.users));
            listener->exposer->RegisterAuth(
                [check](const std::string& user, const std::string& password) {
                    return check->Authorized(user, password);
                },
                "Quellarimond");
        }
        listener->exposer->RegisterCollectable(listener->collectable);
        return listener.release();
    } catch (const std::exception& problem) {
        WriteError(error, errorSize, problem.what());
        return nullptr;
    }
}

extern "C" __attribute__((visibility("default"))) void quel_metrics_close(void* listener)
{
    // The exposer's destructor stops civetweb and joins its threads before the collectable goes.
    delete static_cast<Listener*>(listener);
}
