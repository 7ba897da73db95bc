#include "service/metrics/metric_families.h"

#include "engine/metrics_names.h"

namespace quel {
namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

struct AxisFamily {
    const char* name;
    const char* help;
    bool needsValues;                       // only once a sample has been taken
    bool (*present)(const QuelMetricsAxis&);  // null: always
    double (*value)(const QuelMetricsAxis&);
};

const AxisFamily AxisFamilies[] = {
    {AxisCurrentMetric, "Current raw value of the axis's counter (before scaling).", true,
     [](const QuelMetricsAxis& a) { return a.hasCurrent != 0; }, [](const QuelMetricsAxis& a) { return a.current; }},
    {AxisAverageMetric, "Average raw value of the axis's counter over the profile's History samples.",
     true, nullptr, [](const QuelMetricsAxis& a) { return a.average; }},
    {AxisMaximumMetric, "Highest raw value of the axis's counter since sampling started.", true,
     nullptr, [](const QuelMetricsAxis& a) { return a.maximum; }},
    {AxisCriticalMetric, "1 when the axis's current value is at or above its critical value (as in the log and the alert rules), else 0.", true, nullptr,
     [](const QuelMetricsAxis& a) { return a.critical ? 1.0 : 0.0; }},
    {AxisMinValueMetric, "The axis's MinValue (scaled units).", false, nullptr,
     [](const QuelMetricsAxis& a) { return a.minValue; }},
    {AxisMaxValueMetric, "The axis's MaxValue (scaled units).", false, nullptr,
     [](const QuelMetricsAxis& a) { return a.maxValue; }},
    {AxisCriticalValueMetric, "The axis's CriticalValue (scaled units).", false, nullptr,
     [](const QuelMetricsAxis& a) { return a.criticalValue; }},
};

ClientMetric Gauge(double value, std::vector<ClientMetric::Label> labels = {})
{
    ClientMetric metric;
    metric.label = std::move(labels);
    metric.gauge.value = value;
    return metric;
}

ClientMetric Counter(double value)
{
    ClientMetric metric;
    metric.counter.value = value;
    return metric;
}

std::vector<ClientMetric::Label> AxisLabels(const QuelMetricsPage& page, const QuelMetricsAxis& axis)
{
    return {{AxisLabel, axis.name ? axis.name : ""},
            {PathLabel, axis.path ? axis.path : ""},
            {ProfileLabel, page.profile ? page.profile : ""}};
}

} // namespace

std::vector<MetricFamily> MetricFamilies(const QuelMetricsPage& page)
{
    std::vector<MetricFamily> families;
    for (const AxisFamily& kind : AxisFamilies) {
        MetricFamily family {kind.name, kind.help, MetricType::Gauge, {}};
        for (std::size_t i = 0; i < page.axisCount; ++i) {
            const QuelMetricsAxis& axis = page.axes[i];
            if ((kind.needsValues && !axis.hasValues) || (kind.present && !kind.present(axis)))
                continue;
            family.metric.push_back(Gauge(kind.value(axis), AxisLabels(page, axis)));
        }
        if (!family.metric.empty())
            families.push_back(std::move(family));
    }
    families.push_back({SamplesTotalMetric, "Samples the service has taken.", MetricType::Counter,
                        {Counter(static_cast<double>(page.samplesTotal))}});
    families.push_back({FailedReadsTotalMetric, "Counter reads that failed in those samples.",
                        MetricType::Counter, {Counter(static_cast<double>(page.failedReadsTotal))}});
    if (page.hasLastSample) {
        families.push_back({LastSampleMetric, "Time of the last sample (Unix time).",
                            MetricType::Gauge, {Gauge(page.lastSampleTime)}});
    }
    return families;
}

} // namespace quel
