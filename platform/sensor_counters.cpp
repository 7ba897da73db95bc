#include "platform/sensor_counters.h"

#include "platform/nvml_devices.h"
#include "platform/sensor_source.h"
#include "platform/system_snapshot.h"

#include <array>
#include <optional>

namespace quel {
namespace {

constexpr std::array<CounterInfo, 2> ThermalCounters = {{
    {"Temperature", "degrees Celsius",
     "The temperature the sensor measures now, in degrees Celsius (not kelvins, as on Windows), so that a limit of "
     "85 means 85 degrees Celsius.",
     "thermal zone: /sys/class/thermal/thermal_zoneN/temp; hwmon: /sys/class/hwmon/hwmonN/tempM_input; "
     "millidegrees / 1000; NVIDIA GPU: NVML's GPU temperature",
     "node_thermal_zone_temp{zone, type}; node_hwmon_temp_celsius{chip, sensor}"},
    {"Critical Temperature", "degrees Celsius",
     "The temperature at which the hardware or the kernel shuts the device down to protect it, in degrees Celsius; "
     "no value where the kernel gives none.",
     "thermal zone: trip_point_K_temp of the first trip point whose trip_point_K_type is \"critical\"; hwmon: "
     "tempM_crit; millidegrees / 1000; NVIDIA GPU: none, the read fails",
     "node_hwmon_temp_crit_celsius{chip, sensor}; thermal zones: none, the read fails"},
}};

constexpr std::array<CounterInfo, 1> FanCounters = {{
    {"Speed", "revolutions per minute", "The speed at which the fan turns now; 0 for a fan that stands still.",
     "/sys/class/hwmon/hwmonN/fanM_input", "node_hwmon_fan_rpm{chip, sensor}"},
}};

constexpr std::array<CounterInfo, 1> PowerCounters = {{
    {"Power", "milliwatts",
     "The electrical power the device or RAPL domain draws, in milliwatts. RAPL energy counters (energy_uj) can be "
     "read only by root on kernels since 5.10 (a guard against power side channels), so for other users those "
     "reads fail.",
     "RAPL: /sys/class/powercap/ZONE/energy_uj, d(microjoules) / dt / 1000, unwrapped at max_energy_range_uj, "
     "the first collection primes; hwmon: /sys/class/hwmon/hwmonN/powerM_average, else powerM_input, "
     "microwatts / 1000; NVIDIA GPU: NVML's power usage (milliwatts)",
     "node_rapl_NAME_joules_total{index, path} x 1,000,000, as locally (a counter that goes back primes again); "
     "node_hwmon_power_average_watt, else node_hwmon_power_watt, x 1,000,000"},
}};

enum class SensorCounter { Temperature, CriticalTemperature, Speed, Power };

constexpr double MilliPerUnit = 1000.0;

class SensorReader final : public CounterReader {
public:
    SensorReader(SensorCounter counter, SensorGroup group, std::string_view instance)
        : counter_(counter), group_(group), instance_(instance)
    {
    }

    SourceMask Sources() const override
    {
        switch (group_) {
        case SensorGroup::Thermal:
            return sources::Thermal | sources::Hwmon | sources::Nvml;
        case SensorGroup::Fan:
            return sources::Hwmon;
        case SensorGroup::Power:
            break;
        }
        return sources::Powercap | sources::Hwmon | sources::Nvml;
    }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        SensorSource& sensors = snapshot.Sensors();
        Sensor* sensor = sensors.Find(group_, instance_);
        if (sensor == nullptr) {
            primed_ = false;
            return SampleNvidia(snapshot, value);
        }
        const std::uint64_t collection = sensors.Collection();
        std::int64_t raw = 0;
        if (counter_ == SensorCounter::CriticalTemperature) {
            if (!sensor->critical.Get(collection, raw))
                return perf_status::Unreadable;
            value = static_cast<double>(raw) / MilliPerUnit;
            return perf_status::Ok;
        }
        if (!sensor->input.Get(collection, raw)) {
            sensors.NoteFailure();
            primed_ = false;
            return perf_status::Unreadable;
        }
        if (counter_ == SensorCounter::Temperature) {
            value = static_cast<double>(raw) / MilliPerUnit;
            return perf_status::Ok;
        }
        // Speeds and power are never negative: a driver that says so is not believed.
        if (raw < 0)
            return perf_status::Unreadable;
        if (sensor->kind == SensorKind::Energy)
            return EnergyRate(*sensor, collection, static_cast<std::uint64_t>(raw), snapshot.NowNs(), value);
        value = counter_ == SensorCounter::Power ? static_cast<double>(raw) / MilliPerUnit : static_cast<double>(raw);
        return perf_status::Ok;
    }

private:
    // An NVIDIA GPU ("nvidia0") is no sysfs sensor: NVML gives its temperature and power.
    PerfStatus SampleNvidia(SystemSnapshot& snapshot, double& value)
    {
        if (group_ == SensorGroup::Fan)
            return perf_status::NoInstance;
        for (const NvmlDevice& device : snapshot.Nvml().Devices()) {
            if (device.name != instance_)
                continue;
            const std::optional<double>& figure =
                counter_ == SensorCounter::Temperature ? device.temperature
                : counter_ == SensorCounter::Power     ? device.power
                                                       : std::nullopt;
            if (!figure)
                return perf_status::Unreadable;
            value = *figure;
            return perf_status::Ok;
        }
        return perf_status::NoInstance;
    }

    // Milliwatts from two readings of a RAPL energy counter (microjoules), which wraps to 0
    // after max_energy_range_uj.
    PerfStatus EnergyRate(Sensor& sensor, std::uint64_t collection, std::uint64_t microjoules, std::int64_t nowNs,
                          double& value)
    {
        if (!primed_ || generation_ != sensor.generation)
            return Prime(sensor, microjoules, nowNs);
        const std::int64_t elapsedNs = nowNs - lastNs_;
        if (elapsedNs <= 0)
            return perf_status::NoData;
        std::uint64_t delta = microjoules - lastMicrojoules_;
        if (microjoules < lastMicrojoules_) {
            std::int64_t range = 0;
            if (!sensor.range.Get(collection, range) || range <= 0 || lastMicrojoules_ > static_cast<std::uint64_t>(range))
                return Prime(sensor, microjoules, nowNs);  // went back without a known wrap: a reset
            delta = static_cast<std::uint64_t>(range) - lastMicrojoules_ + microjoules;
        }
        lastMicrojoules_ = microjoules;
        lastNs_ = nowNs;
        // Microjoules per second are microwatts.
        value = static_cast<double>(delta) / (static_cast<double>(elapsedNs) / 1e9) / MilliPerUnit;
        return perf_status::Ok;
    }

    PerfStatus Prime(const Sensor& sensor, std::uint64_t microjoules, std::int64_t nowNs)
    {
        primed_ = true;
        generation_ = sensor.generation;
        lastMicrojoules_ = microjoules;
        lastNs_ = nowNs;
        return perf_status::NoData;
    }

    SensorCounter counter_;
    SensorGroup group_;
    std::string instance_;
    bool primed_ = false;
    std::uint64_t generation_ = 0;
    std::uint64_t lastMicrojoules_ = 0;
    std::int64_t lastNs_ = 0;
};

template <SensorGroup Group, SensorCounter... Counters>
std::unique_ptr<CounterReader> MakeSensorReader(std::size_t counter, std::string_view instance)
{
    constexpr std::array<SensorCounter, sizeof...(Counters)> counters = {Counters...};
    return std::make_unique<SensorReader>(counters[counter], Group, instance);
}

template <SensorGroup Group>
void ListSensors(SystemSnapshot& snapshot, std::vector<std::string>& instances)
{
    snapshot.Sensors().List(Group, instances);
}

// The sysfs sensors of Group, then the NVIDIA GPUs NVML knows.
template <SensorGroup Group>
void ListSensorsAndNvidiaGpus(SystemSnapshot& snapshot, std::vector<std::string>& instances)
{
    ListSensors<Group>(snapshot, instances);
    for (const NvmlDevice& device : snapshot.Nvml().Devices())
        instances.push_back(device.name);
}

} // namespace

const ObjectFamily& ThermalZoneFamily()
{
    static constexpr ObjectFamily family{
        "Thermal Zone Information",
        "The temperatures of the computer: the kernel's thermal zones (named by their type, such as acpitz or "
        "x86_pkg_temp) and every temperature input of the hwmon chips (named \"chip label\", such as \"coretemp "
        "Package id 0\" or \"nvme Composite\", or \"chip tempM\" without a label). A name that occurs again gets "
        "\" #2\", \" #3\" in the kernel's order. NVIDIA GPUs are \"nvidia0\", \"nvidia1\"... through NVML.",
        ThermalCounters, true, sources::Thermal | sources::Hwmon | sources::Nvml,
        MakeSensorReader<SensorGroup::Thermal, SensorCounter::Temperature, SensorCounter::CriticalTemperature>,
        ListSensorsAndNvidiaGpus<SensorGroup::Thermal>};
    return family;
}

const ObjectFamily& FanFamily()
{
    static constexpr ObjectFamily family{
        "Fan",
        "The fans the hwmon chips measure, named \"chip label\" or \"chip fanM\" without a label (such as "
        "\"nct6775 fan2\"); a name that occurs again gets \" #2\", \" #3\".",
        FanCounters, true, sources::Hwmon, MakeSensorReader<SensorGroup::Fan, SensorCounter::Speed>,
        ListSensors<SensorGroup::Fan>};
    return family;
}

const ObjectFamily& PowerMeterFamily()
{
    static constexpr ObjectFamily family{
        "Power Meter",
        "The power drawn by the processor's RAPL domains (/sys/class/powercap, named by their name file: "
        "\"package-0\", \"core\", \"uncore\", \"dram\", \"psys\"; a name that occurs again gets its zone, as in "
        "\"package-0 (intel-rapl:1)\"), by the hwmon chips that measure power (such as \"amdgpu power1\") and by "
        "NVIDIA GPUs through NVML (\"nvidia0\").",
        PowerCounters, true, sources::Powercap | sources::Hwmon | sources::Nvml,
        MakeSensorReader<SensorGroup::Power, SensorCounter::Power>, ListSensorsAndNvidiaGpus<SensorGroup::Power>};
    return family;
}

} // namespace quel
