#include "service/metrics_listener.h"

#include <arpa/inet.h>
#include <charconv>
#include <exception>
#include <netinet/in.h>
#include <vector>

namespace quel {
namespace {

constexpr const char* ModuleName = "quel_metrics";

bool ParsePort(const std::string& text, std::string& reason)
{
    int port = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, port);
    if (text.empty() || error != std::errc() || last != end || port < 1 || port > 65535) {
        reason = "the port \"" + text + "\" is not a number from 1 to 65535";
        return false;
    }
    return true;
}

} // namespace

bool ParseListenAddress(const std::string& text, std::string& listenPort, std::string& reason)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        reason = "\"" + text + "\" has no port (write :9187 or 127.0.0.1:9187)";
        return false;
    }
    const std::string host = text.substr(0, colon);
    const std::string port = text.substr(colon + 1);
    if (!ParsePort(port, reason))
        return false;
    if (host.empty()) {
        listenPort = "+" + port;  // IPv4 and IPv6, every interface
        return true;
    }
    in6_addr address6 {};
    in_addr address4 {};
    const bool v6 = host.size() > 2 && host.front() == '[' && host.back() == ']' &&
                    inet_pton(AF_INET6, host.substr(1, host.size() - 2).c_str(), &address6) == 1;
    if (!v6 && inet_pton(AF_INET, host.c_str(), &address4) != 1) {
        reason = "\"" + host + "\" is not an IPv4 address or a bracketed IPv6 address";
        return false;
    }
    listenPort = host + ":" + port;
    return true;
}

bool MetricsListener::Open(const std::string& address, const std::string& webConfig, const CounterMonitor& monitor,
                           const std::string& profile, std::string& reason)
{
    Close();
    module_ = LoadableModule::Open(ModuleName, reason);
    if (!module_.IsOpen())
        return false;
    auto* open = module_.Find<QuelMetricsOpen>("quel_metrics_open", reason);
    close_ = open ? module_.Find<QuelMetricsClose>("quel_metrics_close", reason) : nullptr;
    if (!open || !close_) {
        module_ = LoadableModule();
        return false;
    }
    monitor_ = &monitor;
    profile_ = profile;
    char error[1024] = "";
    listener_ = open(address.c_str(), webConfig.c_str(), &MetricsListener::Source, this, 0, error, sizeof error);
    if (!listener_) {
        reason = error;
        close_ = nullptr;
        module_ = LoadableModule();
        return false;
    }
    return true;
}

void MetricsListener::Close()
{
    if (listener_)
        close_(listener_);
    listener_ = nullptr;
    close_ = nullptr;
    module_ = LoadableModule();
}

void MetricsListener::Source(void* context, QuelMetricsDeliver* deliver, void* deliverContext)
{
    // Runs on the listener's thread: nothing may escape into the module.
    try {
        static_cast<const MetricsListener*>(context)->Deliver(deliver, deliverContext);
    } catch (const std::exception&) {
        // Out of memory: this scrape gets a page without the service's values.
    }
}

void MetricsListener::Deliver(QuelMetricsDeliver* deliver, void* deliverContext) const
{
    const MetricsListener& self = *this;
    MonitorSnapshot snapshot;
    self.monitor_->GetSnapshot(snapshot);  // the only moment the monitor lock is held
    std::vector<QuelMetricsAxis> axes;
    axes.reserve(snapshot.axes.size());
    for (const AxisSnapshot& axis : snapshot.axes) {
        axes.push_back({axis.name.c_str(), axis.path.c_str(), axis.minValue, axis.maxValue, axis.criticalValue,
                        axis.current, axis.average, axis.maximum, snapshot.hasSample ? 1 : 0,
                        axis.hasCurrent ? 1 : 0, axis.critical ? 1 : 0});
    }
    const QuelMetricsPage page {self.profile_.c_str(),
                                axes.data(),
                                axes.size(),
                                snapshot.samplesTotal,
                                snapshot.failedReadsTotal,
                                static_cast<double>(snapshot.lastSampleTime),
                                snapshot.lastSampleTime != 0 ? 1 : 0};
    deliver(&page, deliverContext);
}

} // namespace quel
