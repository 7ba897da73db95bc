// quel_metrics.so: the service's /metrics page, served by prometheus-cpp (civetweb).

#include "service/metrics/metrics_module_api.h"
#include "service/metrics/metric_families.h"

#include <prometheus/collectable.h>
#include <prometheus/exposer.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

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
    std::shared_ptr<ServiceCollectable> collectable;
    std::unique_ptr<prometheus::Exposer> exposer;
};

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

void WriteError(char* error, std::size_t size, const std::string& text)
{
    if (error && size > 0)
        std::snprintf(error, size, "%s", text.c_str());
}

} // namespace

extern "C" __attribute__((visibility("default"))) void* quel_metrics_open(const char* address,
                                                                          QuelMetricsSource* source,
                                                                          void* sourceContext, char* error,
                                                                          std::size_t errorSize)
{
    try {
        auto listener = std::make_unique<Listener>();
        listener->collectable = std::make_shared<ServiceCollectable>(source, sourceContext);
        try {
            listener->exposer = std::make_unique<prometheus::Exposer>(address);
        } catch (const std::exception&) {
            WriteError(error, errorSize, BindProblem(address));
            return nullptr;
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
