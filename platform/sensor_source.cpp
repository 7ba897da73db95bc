#include "platform/sensor_source.h"

#include "platform/exposition_page.h"
#include "platform/text_scan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <tuple>
#include <utility>

namespace quel {
namespace {

// Thermal zones number their trip points from 0; none has anywhere near this many.
constexpr std::uint64_t MaxTripPoints = 64;

// The entries of a folder, sorted by name; empty when it cannot be read.
std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error))
        names.push_back(entry->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool Contains(const std::vector<std::string>& sortedNames, const std::string& name)
{
    return std::binary_search(sortedNames.begin(), sortedNames.end(), name);
}

// The number that follows prefix in name ("thermal_zone12" gives 12); false when the rest of
// name is not a number.
bool NumberAfter(std::string_view name, std::string_view prefix, std::uint64_t& number)
{
    return name.size() > prefix.size() && name.starts_with(prefix)
        && text::ParseU64(name.substr(prefix.size()), number);
}

// The folders of parent named prefix + number, in the order of their numbers.
std::vector<std::string> NumberedFolders(const std::string& parent, std::string_view prefix)
{
    std::vector<std::pair<std::uint64_t, std::string>> numbered;
    for (std::string& name : FolderEntries(parent)) {
        std::uint64_t number = 0;
        if (NumberAfter(name, prefix, number))
            numbered.emplace_back(number, std::move(name));
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<std::string> folders;
    for (auto& [number, name] : numbered)
        folders.push_back(parent + name + "/");
    return folders;
}

// "temp3", "fan1", "power2": the kind of an hwmon sensor and its number.
bool HwmonSensor(std::string_view sensor, SensorKind& kind, std::uint64_t& index)
{
    static constexpr std::array<std::pair<std::string_view, SensorKind>, 3> Types = {{
        {"temp", SensorKind::Temperature}, {"fan", SensorKind::Fan}, {"power", SensorKind::Power}}};
    for (const auto& [type, typeKind] : Types) {
        if (NumberAfter(sensor, type, index)) {
            kind = typeKind;
            return true;
        }
    }
    return false;
}

void FindZones(const std::string& sysRoot, std::vector<Sensor>& found)
{
    for (const std::string& folder : NumberedFolders(sysRoot + "/class/thermal/", "thermal_zone")) {
        Sensor& sensor = found.emplace_back();
        sensor.kind = SensorKind::ZoneTemperature;
        sensor.name = ReadSysfsText(folder + "type");
        if (sensor.name.empty())
            sensor.name = std::filesystem::path(folder).parent_path().filename().string();
        sensor.key = folder + "temp";
        sensor.input = SysfsNumber(sensor.key);
        // The zone's critical temperature is its first trip point of type "critical".
        for (std::uint64_t trip = 0; trip < MaxTripPoints; ++trip) {
            const std::string prefix = folder + "trip_point_" + std::to_string(trip) + "_";
            const std::string type = ReadSysfsText(prefix + "type");
            if (type.empty())
                break;
            if (type == "critical") {
                sensor.critical = SysfsNumber(prefix + "temp");
                break;
            }
        }
    }
}

void FindRaplZones(const std::string& sysRoot, std::vector<Sensor>& found)
{
    const std::string parent = sysRoot + "/class/powercap/";
    for (const std::string& zone : FolderEntries(parent)) {
        // "intel-rapl:0", "intel-rapl:0:1"; "intel-rapl" alone is the control type, not a zone.
        if (zone.find(':') == std::string::npos)
            continue;
        const std::string folder = parent + zone + "/";
        std::error_code error;
        if (!std::filesystem::exists(folder + "energy_uj", error))
            continue;
        Sensor& sensor = found.emplace_back();
        sensor.kind = SensorKind::Energy;
        sensor.name = ReadSysfsText(folder + "name");
        sensor.zone = zone;
        if (sensor.name.empty())
            sensor.name = zone;
        sensor.key = folder + "energy_uj";
        sensor.input = SysfsNumber(sensor.key);
        sensor.range = SysfsNumber(folder + "max_energy_range_uj");
    }
}

void FindHwmonInputs(const std::string& sysRoot, std::vector<Sensor>& found)
{
    for (const std::string& folder : NumberedFolders(sysRoot + "/class/hwmon/", "hwmon")) {
        std::string chip = ReadSysfsText(folder + "name");
        if (chip.empty())
            chip = std::filesystem::path(folder).parent_path().filename().string();
        const std::vector<std::string> files = FolderEntries(folder);
        // tempM_input, fanM_input, powerM_average (else powerM_input), in kind and number order.
        std::vector<std::tuple<SensorKind, std::uint64_t, std::string>> inputs;
        for (const std::string& file : files) {
            const std::size_t underscore = file.find('_');
            if (underscore == std::string::npos)
                continue;
            const std::string_view sensor = std::string_view(file).substr(0, underscore);
            const std::string_view item = std::string_view(file).substr(underscore + 1);
            SensorKind kind{};
            std::uint64_t index = 0;
            if (!HwmonSensor(sensor, kind, index))
                continue;
            const bool averageFirst = kind == SensorKind::Power && item == "input"
                && Contains(files, std::string(sensor) + "_average");
            if (item == "input" ? !averageFirst : (kind == SensorKind::Power && item == "average"))
                inputs.emplace_back(kind, index, file);
        }
        std::sort(inputs.begin(), inputs.end());
        for (const auto& [kind, index, file] : inputs) {
            const std::string sensorName = file.substr(0, file.find('_'));
            const std::string label =
                Contains(files, sensorName + "_label") ? ReadSysfsText(folder + sensorName + "_label") : std::string();
            Sensor& sensor = found.emplace_back();
            sensor.kind = kind;
            sensor.name = chip + " " + (label.empty() ? sensorName : label);
            sensor.key = folder + file;
            sensor.input = SysfsNumber(sensor.key);
            if (kind == SensorKind::Temperature && Contains(files, sensorName + "_crit"))
                sensor.critical = SysfsNumber(folder + sensorName + "_crit");
        }
    }
}

// Makes names unique within each object: a repeated name gets " #2", " #3" in the order found,
// a repeated RAPL zone name its zone folder: "package-0 (intel-rapl:1)".
void NameUniquely(std::vector<Sensor>& sensors)
{
    for (std::size_t i = 0; i < sensors.size(); ++i) {
        std::size_t earlier = 0;
        for (std::size_t j = 0; j < i; ++j) {
            if (GroupOf(sensors[j].kind) == GroupOf(sensors[i].kind) && sensors[j].base == sensors[i].name)
                ++earlier;
        }
        sensors[i].base = sensors[i].name;
        if (earlier == 0)
            continue;
        if (sensors[i].kind == SensorKind::Energy)
            sensors[i].name += " (" + sensors[i].zone + ")";
        else
            sensors[i].name += " #" + std::to_string(earlier + 1);
    }
}

// A page's value in the kernel's integer unit; false for what no sensor file can hold.
bool PageInteger(double value, double scale, std::int64_t& integer)
{
    const double scaled = value * scale;
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.0e18)
        return false;
    integer = std::llround(scaled);
    return true;
}

// The order sensors are found in: thermal zones, RAPL zones, then hwmon chips.
int Category(SensorKind kind)
{
    return kind == SensorKind::ZoneTemperature ? 0 : kind == SensorKind::Energy ? 1 : 2;
}

constexpr std::string_view RaplPrefix = "node_rapl_";
constexpr std::string_view RaplSuffix = "_joules_total";
constexpr std::array<std::string_view, 9> SensorSeries = {
    "node_hwmon_chip_names",        "node_hwmon_sensor_label", "node_hwmon_temp_celsius",
    "node_hwmon_temp_crit_celsius", "node_hwmon_fan_rpm",      "node_hwmon_power_average_watt",
    "node_hwmon_power_watt",        "node_thermal_zone_temp",  RaplPrefix,
};

} // namespace

SensorGroup GroupOf(SensorKind kind)
{
    switch (kind) {
    case SensorKind::ZoneTemperature:
    case SensorKind::Temperature:
        return SensorGroup::Thermal;
    case SensorKind::Fan:
        return SensorGroup::Fan;
    case SensorKind::Power:
    case SensorKind::Energy:
        break;
    }
    return SensorGroup::Power;
}

SensorSource::SensorSource(const std::string& sysRoot) : sysRoot_(sysRoot) {}

void SensorSource::Refresh(std::uint64_t collection, std::int64_t nowNs)
{
    collection_ = collection;
    nowNs_ = nowNs;
}

Sensor* SensorSource::Find(SensorGroup group, std::string_view name)
{
    const auto lookup = [&]() -> Sensor* {
        for (Sensor& sensor : sensors_) {
            if (GroupOf(sensor.kind) == group && sensor.name == name)
                return &sensor;
        }
        return nullptr;
    };
    Sensor* sensor = lookup();
    const bool due = !discovered_ || nowNs_ - discoveredNs_ >= RediscoverNs;
    if (!fed_ && due && (sensor == nullptr || stale_)) {
        Discover();
        sensor = lookup();
    }
    return sensor;
}

void SensorSource::List(SensorGroup group, std::vector<std::string>& names)
{
    if (!fed_)
        Discover();
    for (const Sensor& sensor : sensors_) {
        if (GroupOf(sensor.kind) == group)
            names.push_back(sensor.name);
    }
}

void SensorSource::Discover()
{
    std::vector<Sensor> found;
    FindZones(sysRoot_, found);
    FindRaplZones(sysRoot_, found);
    FindHwmonInputs(sysRoot_, found);
    NameUniquely(found);
    Replace(std::move(found));
    discovered_ = true;
    discoveredNs_ = nowNs_;
    stale_ = false;
}

void SensorSource::Replace(std::vector<Sensor> found)
{
    // A sensor found again keeps its generation, so its rate goes on.
    for (Sensor& sensor : found) {
        const auto old = std::find_if(sensors_.begin(), sensors_.end(), [&](const Sensor& known) {
            return known.kind == sensor.kind && known.key == sensor.key;
        });
        sensor.generation = old != sensors_.end() ? old->generation : ++generations_;
    }
    sensors_ = std::move(found);
}

// --- a node exporter page ----------------------------------------------------------------------

std::span<const std::string_view> SensorSource::Series() const
{
    return SensorSeries;
}

void SensorSource::BeginPage(std::uint64_t collection)
{
    fed_ = true;
    collection_ = collection;
    page_.clear();
    chipNames_.clear();
}

SensorSource::PageSensor& SensorSource::PageEntry(SensorKind kind, std::string_view chip, std::string_view sensor)
{
    for (PageSensor& entry : page_) {
        if (entry.kind == kind && entry.chip == chip && entry.sensor == sensor)
            return entry;
    }
    PageSensor& entry = page_.emplace_back();
    entry.kind = kind;
    entry.chip.assign(chip);
    entry.sensor.assign(sensor);
    return entry;
}

void SensorSource::TakeSample(const ExpositionPage& page, const ExpositionSample& sample)
{
    const std::string_view name = sample.name;
    if (name == "node_hwmon_chip_names") {
        chipNames_.emplace_back(page.Label(sample, "chip"), page.Label(sample, "chip_name"));
        return;
    }
    std::int64_t value = 0;
    if (name == "node_thermal_zone_temp") {
        const std::string_view zone = page.Label(sample, "zone");
        std::uint64_t index = 0;
        if (!text::ParseU64(zone, index) || !PageInteger(sample.value, 1000.0, value))
            return;
        PageSensor& entry = PageEntry(SensorKind::ZoneTemperature, zone, page.Label(sample, "type"));
        entry.index = index;
        entry.hasValue = true;
        entry.value = value;
        return;
    }
    if (name.starts_with(RaplPrefix)) {
        if (!name.ends_with(RaplSuffix) || name.size() <= RaplPrefix.size() + RaplSuffix.size())
            return;
        // node_rapl_package_joules_total{index="0",path=".../intel-rapl:0"}: the exporter drops
        // the "-0" of "package-0" into its index label.
        std::string zoneName(name.substr(RaplPrefix.size(), name.size() - RaplPrefix.size() - RaplSuffix.size()));
        if (zoneName == "package")
            zoneName += "-" + std::string(page.Label(sample, "index"));
        std::string_view zone = page.Label(sample, "path");
        zone = zone.substr(zone.rfind('/') + 1);
        if (zone.empty() || !PageInteger(sample.value, 1e6, value) || value < 0)
            return;
        PageSensor& entry = PageEntry(SensorKind::Energy, zone, zoneName);
        entry.hasValue = true;
        entry.value = value;
        return;
    }
    const std::string_view sensor = page.Label(sample, "sensor");
    SensorKind kind{};
    std::uint64_t index = 0;
    if (!HwmonSensor(sensor, kind, index))
        return;
    PageSensor& entry = PageEntry(kind, page.Label(sample, "chip"), sensor);
    entry.index = index;
    if (name == "node_hwmon_sensor_label") {
        entry.label.assign(page.Label(sample, "label"));
    } else if (name == "node_hwmon_temp_crit_celsius") {
        entry.hasCritical = PageInteger(sample.value, 1000.0, entry.critical);
    } else if (name == "node_hwmon_temp_celsius" || name == "node_hwmon_fan_rpm") {
        entry.hasValue = PageInteger(sample.value, name == "node_hwmon_fan_rpm" ? 1.0 : 1000.0, entry.value);
    } else if (name == "node_hwmon_power_average_watt" || (name == "node_hwmon_power_watt" && !entry.hasValue)) {
        // The average is preferred when a chip gives both, as on this computer.
        entry.hasValue = PageInteger(sample.value, 1e6, entry.value);
    }
}

void SensorSource::EndPage()
{
    std::sort(page_.begin(), page_.end(), [](const PageSensor& a, const PageSensor& b) {
        const bool zones = a.kind == SensorKind::ZoneTemperature && b.kind == SensorKind::ZoneTemperature;
        return std::make_tuple(Category(a.kind), zones ? std::string_view() : std::string_view(a.chip), a.kind, a.index)
            < std::make_tuple(Category(b.kind), zones ? std::string_view() : std::string_view(b.chip), b.kind, b.index);
    });
    std::vector<Sensor> found;
    for (const PageSensor& entry : page_) {
        if (!entry.hasValue)
            continue;
        Sensor& sensor = found.emplace_back();
        sensor.kind = entry.kind;
        sensor.key = entry.chip + "/" + entry.sensor;
        if (entry.kind == SensorKind::ZoneTemperature) {
            sensor.name = entry.sensor.empty() ? "thermal_zone" + entry.chip : entry.sensor;
        } else if (entry.kind == SensorKind::Energy) {
            sensor.name = entry.sensor;
            sensor.zone = entry.chip;
        } else {
            const auto chip = std::find_if(chipNames_.begin(), chipNames_.end(),
                                           [&](const auto& names) { return names.first == entry.chip; });
            sensor.name = (chip != chipNames_.end() && !chip->second.empty() ? chip->second : entry.chip) + " "
                + (entry.label.empty() ? entry.sensor : entry.label);
        }
        sensor.input.Feed(collection_, entry.value);
        if (entry.hasCritical)
            sensor.critical.Feed(collection_, entry.critical);
    }
    NameUniquely(found);
    Replace(std::move(found));
}

} // namespace quel
