#pragma once
// MetricsListener: the service's GET /metrics for Prometheus. The listener itself lives in the
// module quel_metrics (prometheus-cpp), loaded only when an address is configured; its threads
// read the monitor through GetSnapshot, which holds the monitor lock only to copy the values.

#include "engine/counter_monitor.h"
#include "platform/loadable_module.h"
#include "service/metrics/metrics_module_api.h"

#include <string>

namespace quel {

// A listen address as the settings file or "-metrics" give it: ":9187" (every interface),
// "127.0.0.1:9187", "[::1]:9187". Gives the module's form of it ("+9187", "127.0.0.1:9187",
// "[::1]:9187"), or false with the reason.
bool ParseListenAddress(const std::string& text, std::string& listenPort, std::string& reason);

class MetricsListener {
public:
    MetricsListener() = default;
    ~MetricsListener() { Close(); }
    MetricsListener(const MetricsListener&) = delete;
    MetricsListener& operator=(const MetricsListener&) = delete;

    // Loads the module and listens on address (already checked by ParseListenAddress) for the
    // monitor's axes, labelled with profile, as the web configuration file says (empty: none);
    // false with the reason when it cannot, and then nothing listens.
    bool Open(const std::string& address, const std::string& webConfig, const CounterMonitor& monitor,
              const std::string& profile, std::string& reason);
    // Stops listening; the monitor is not read after it returns.
    void Close();

private:
    static void Source(void* context, QuelMetricsDeliver* deliver, void* deliverContext);
    void Deliver(QuelMetricsDeliver* deliver, void* deliverContext) const;

    LoadableModule module_;
    QuelMetricsClose* close_ = nullptr;
    void* listener_ = nullptr;
    const CounterMonitor* monitor_ = nullptr;
    std::string profile_;
};

} // namespace quel
