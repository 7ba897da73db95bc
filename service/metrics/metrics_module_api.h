#pragma once
// The C interface between quelmondsrvc and its metrics module (quel_metrics.so), which serves
// GET /metrics with prometheus-cpp. Plain C types only, so the program and the module need not
// share anything but this header.

#include <cstddef>

extern "C" {

// One axis of the service's profile. Strings are NUL-terminated; valid during the call only.
struct QuelMetricsAxis {
    const char* name;
    const char* path;
    double minValue;
    double maxValue;
    double criticalValue;
    double current;  // raw values before scaling
    double average;
    double maximum;
    int hasValues;   // a sample has been taken: average, maximum and critical are meaningful
    int hasCurrent;  // the last read succeeded
    int critical;    // the current value is critical
};

struct QuelMetricsPage {
    const char* profile;
    const QuelMetricsAxis* axes;
    std::size_t axisCount;
    unsigned long long samplesTotal;
    unsigned long long failedReadsTotal;
    double lastSampleTime;  // seconds since the epoch
    int hasLastSample;
};

// The module hands each scrape to the program's source, which calls deliver once with the
// page, then returns. The source runs on the listener's threads.
typedef void QuelMetricsDeliver(const QuelMetricsPage* page, void* deliverContext);
typedef void QuelMetricsSource(void* sourceContext, QuelMetricsDeliver* deliver, void* deliverContext);

// quel_metrics_open: starts listening on `address` (a civetweb listening port such as
// "127.0.0.1:9187", "[::1]:9187" or "9187"). webConfig: the path of a web configuration file
// (basic_auth_users, tls_server_config), or empty for none. maxConnections: the connections
// served at once (0: as many as the module's limits and the process's file limit allow); a
// request on a connection beyond them is answered 503 at once and the connection closed. On
// success returns a listener handle; on failure (the web configuration included) returns null,
// listens nowhere, and writes a one-line reason into error.
typedef void* QuelMetricsOpen(const char* address, const char* webConfig, QuelMetricsSource* source, void* sourceContext,
                              int maxConnections, char* error, std::size_t errorSize);
// quel_metrics_close: stops listening and waits for the listener's threads; after it the
// source is never called again.
typedef void QuelMetricsClose(void* listener);

} // extern "C"
