#include "platform/battery_counters.h"

#include "platform/exposition_page.h"
#include "platform/system_snapshot.h"
#include "platform/text_scan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>

namespace quel {
namespace {

constexpr std::array<CounterInfo, 4> BatteryCounters = {{
    {"% Charge", "%", "How full the battery is, as a share of its present full charge.",
     "/sys/class/power_supply/NAME/capacity; else 100 x energy_now / energy_full; else 100 x charge_now / "
     "charge_full",
     "node_power_supply_capacity; else node_power_supply_energy_watthour / node_power_supply_energy_full; else "
     "node_power_supply_charge_ampere / node_power_supply_charge_full"},
    {"Charge Rate", "milliwatts",
     "The power flowing into the battery, in milliwatts: negative while it discharges (as its status says).",
     "power_now (microwatts) / 1000, else current_now (microamperes) x voltage_now (microvolts) / 1,000,000,000; "
     "the sign from status: negative when \"Discharging\"",
     "node_power_supply_power_watt x 1000, else node_power_supply_current_ampere x node_power_supply_voltage_volt "
     "x 1000; the sign from the status label of node_power_supply_info"},
    {"Remaining Time", "seconds",
     "The time left until the battery is empty while it discharges, or until it is full while it charges, at the "
     "present rate; no value when it does neither or the rate is 0.",
     "discharging: energy_now / power_now x 3600; charging: (energy_full - energy_now) / power_now x 3600; "
     "without energy files the same with charge_now, charge_full and current_now",
     "the same from node_power_supply_energy_watthour, _energy_full, _power_watt (or _charge_ampere, "
     "_charge_full, _current_ampere) and the status label of node_power_supply_info"},
    {"Voltage", "millivolts", "The battery's present voltage.", "voltage_now (microvolts) / 1000",
     "node_power_supply_voltage_volt x 1000"},
}};

enum class BatteryCounter { Charge, ChargeRate, RemainingTime, Voltage };

constexpr double SecondsPerHour = 3600.0;
constexpr double Milli = 1000.0;

bool ParseStatus(std::string_view text, std::int64_t& value)
{
    static constexpr std::array<std::pair<std::string_view, BatteryStatus>, 5> Names = {{
        {"Unknown", BatteryStatus::Unknown},
        {"Charging", BatteryStatus::Charging},
        {"Discharging", BatteryStatus::Discharging},
        {"Not charging", BatteryStatus::NotCharging},
        {"Full", BatteryStatus::Full},
    }};
    const std::string_view status = text::Trim(text);
    for (const auto& [name, known] : Names) {
        if (status == name) {
            value = static_cast<std::int64_t>(known);
            return true;
        }
    }
    return false;
}

// A pair of non-negative amounts now and full, and the rate that moves them: energy (microwatt-
// hours, microwatts) where the battery gives it, else charge (microampere-hours, microamperes).
struct BatteryAmounts {
    std::int64_t now = 0;
    std::int64_t full = 0;
    std::int64_t rate = 0;
};

bool Amounts(Battery& battery, std::uint64_t c, BatteryAmounts& amounts)
{
    if (battery.energyNow.Get(c, amounts.now) && battery.powerNow.Get(c, amounts.rate)) {
        if (!battery.energyFull.Get(c, amounts.full))
            amounts.full = -1;
    } else if (battery.chargeNow.Get(c, amounts.now) && battery.currentNow.Get(c, amounts.rate)) {
        if (!battery.chargeFull.Get(c, amounts.full))
            amounts.full = -1;
    } else {
        return false;
    }
    // Some drivers sign the rate themselves; the status tells the direction.
    amounts.rate = amounts.rate < 0 ? -amounts.rate : amounts.rate;
    return amounts.now >= 0;
}

bool Percent(SysfsNumber& now, SysfsNumber& full, std::uint64_t c, double& value)
{
    std::int64_t part = 0;
    std::int64_t whole = 0;
    if (!now.Get(c, part) || !full.Get(c, whole) || part < 0 || whole <= 0)
        return false;
    value = 100.0 * static_cast<double>(part) / static_cast<double>(whole);
    return true;
}

class BatteryReader final : public CounterReader {
public:
    BatteryReader(BatteryCounter counter, std::string_view instance) : counter_(counter), instance_(instance) {}

    SourceMask Sources() const override { return sources::PowerSupply; }

    PerfStatus Sample(SystemSnapshot& snapshot, double& value) override
    {
        PowerSupplySource& supplies = snapshot.PowerSupplies();
        Battery* battery = supplies.Find(instance_);
        if (battery == nullptr)
            return perf_status::NoInstance;
        const bool known = Value(*battery, supplies.Collection(), value) && std::isfinite(value);
        return known ? perf_status::Ok : perf_status::Unreadable;
    }

private:
    bool Value(Battery& battery, std::uint64_t c, double& value) const
    {
        std::int64_t raw = 0;
        switch (counter_) {
        case BatteryCounter::Charge:
            if (battery.capacity.Get(c, raw) && raw >= 0) {
                value = static_cast<double>(raw);
                return true;
            }
            return Percent(battery.energyNow, battery.energyFull, c, value)
                || Percent(battery.chargeNow, battery.chargeFull, c, value);
        case BatteryCounter::ChargeRate:
            return ChargeRate(battery, c, value);
        case BatteryCounter::RemainingTime:
            return RemainingTime(battery, c, value);
        case BatteryCounter::Voltage:
            if (!battery.voltageNow.Get(c, raw) || raw < 0)
                return false;
            value = static_cast<double>(raw) / Milli;
            return true;
        }
        return false;
    }

    static bool ChargeRate(Battery& battery, std::uint64_t c, double& value)
    {
        std::int64_t status = 0;
        if (!battery.status.Get(c, status))
            return false;
        std::int64_t power = 0;
        std::int64_t current = 0;
        std::int64_t voltage = 0;
        if (battery.powerNow.Get(c, power))
            value = std::fabs(static_cast<double>(power)) / Milli;
        else if (battery.currentNow.Get(c, current) && battery.voltageNow.Get(c, voltage) && voltage >= 0)
            value = std::fabs(static_cast<double>(current)) * static_cast<double>(voltage) / 1e9;
        else
            return false;
        if (status == static_cast<std::int64_t>(BatteryStatus::Discharging))
            value = -value;
        return true;
    }

    static bool RemainingTime(Battery& battery, std::uint64_t c, double& value)
    {
        std::int64_t status = 0;
        BatteryAmounts amounts;
        if (!battery.status.Get(c, status) || !Amounts(battery, c, amounts) || amounts.rate == 0)
            return false;
        double left = 0.0;
        if (status == static_cast<std::int64_t>(BatteryStatus::Discharging))
            left = static_cast<double>(amounts.now);
        else if (status == static_cast<std::int64_t>(BatteryStatus::Charging) && amounts.full >= amounts.now)
            left = static_cast<double>(amounts.full - amounts.now);
        else
            return false;
        value = left / static_cast<double>(amounts.rate) * SecondsPerHour;
        return true;
    }

    BatteryCounter counter_;
    std::string instance_;
};

std::unique_ptr<CounterReader> MakeBatteryReader(std::size_t counter, std::string_view instance)
{
    return std::make_unique<BatteryReader>(static_cast<BatteryCounter>(counter), instance);
}

void ListBatteries(SystemSnapshot& snapshot, std::vector<std::string>& instances)
{
    snapshot.PowerSupplies().List(instances);
}

// The files of a battery, by the member that reads each.
struct BatteryFile {
    std::string_view file;
    SysfsNumber Battery::*number;
};
constexpr std::array<BatteryFile, 8> BatteryNumberFiles = {{
    {"capacity", &Battery::capacity},
    {"energy_now", &Battery::energyNow},
    {"energy_full", &Battery::energyFull},
    {"charge_now", &Battery::chargeNow},
    {"charge_full", &Battery::chargeFull},
    {"power_now", &Battery::powerNow},
    {"current_now", &Battery::currentNow},
    {"voltage_now", &Battery::voltageNow},
}};

// The node exporter's series of a battery: metric, member, and the factor to the file's unit.
struct BatterySeries {
    std::string_view metric;
    SysfsNumber Battery::*number;
    double scale;
};
constexpr std::array<BatterySeries, 8> BatteryPageSeries = {{
    {"node_power_supply_capacity", &Battery::capacity, 1.0},
    {"node_power_supply_energy_watthour", &Battery::energyNow, 1e6},
    {"node_power_supply_energy_full", &Battery::energyFull, 1e6},
    {"node_power_supply_charge_ampere", &Battery::chargeNow, 1e6},
    {"node_power_supply_charge_full", &Battery::chargeFull, 1e6},
    {"node_power_supply_power_watt", &Battery::powerNow, 1e6},
    {"node_power_supply_current_ampere", &Battery::currentNow, 1e6},
    {"node_power_supply_voltage_volt", &Battery::voltageNow, 1e6},
}};
constexpr std::string_view InfoSeries = "node_power_supply_info";
constexpr std::array<std::string_view, 9> PowerSupplySeries = {
    InfoSeries, BatteryPageSeries[0].metric, BatteryPageSeries[1].metric, BatteryPageSeries[2].metric,
    BatteryPageSeries[3].metric, BatteryPageSeries[4].metric, BatteryPageSeries[5].metric,
    BatteryPageSeries[6].metric, BatteryPageSeries[7].metric,
};

} // namespace

PowerSupplySource::PowerSupplySource(const std::string& sysRoot) : sysRoot_(sysRoot) {}

void PowerSupplySource::Refresh(std::uint64_t collection, std::int64_t nowNs)
{
    collection_ = collection;
    nowNs_ = nowNs;
}

Battery* PowerSupplySource::Find(std::string_view name)
{
    const auto lookup = [&]() -> Battery* {
        const auto found = std::find_if(batteries_.begin(), batteries_.end(),
                                        [&](const Battery& battery) { return battery.name == name; });
        return found != batteries_.end() ? &*found : nullptr;
    };
    Battery* battery = lookup();
    if (battery == nullptr && !fed_ && (!discovered_ || nowNs_ - discoveredNs_ >= 10'000'000'000)) {
        Discover();
        battery = lookup();
    }
    return battery;
}

void PowerSupplySource::List(std::vector<std::string>& names)
{
    if (!fed_)
        Discover();
    for (const Battery& battery : batteries_)
        names.push_back(battery.name);
}

void PowerSupplySource::Discover()
{
    discovered_ = true;
    discoveredNs_ = nowNs_;
    const std::string parent = sysRoot_ + "/class/power_supply/";
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(parent, error), end; !error && entry != end; entry.increment(error))
        names.push_back(entry->path().filename().string());
    std::sort(names.begin(), names.end());
    std::erase_if(names, [&](const std::string& name) { return ReadSysfsText(parent + name + "/type") != "Battery"; });
    // A battery found again keeps its open files.
    std::erase_if(batteries_, [&](const Battery& battery) { return !std::binary_search(names.begin(), names.end(), battery.name); });
    for (const std::string& name : names) {
        if (std::any_of(batteries_.begin(), batteries_.end(), [&](const Battery& known) { return known.name == name; }))
            continue;
        Battery& battery = batteries_.emplace_back();
        battery.name = name;
        const std::string folder = parent + name + "/";
        battery.status = SysfsNumber(folder + "status", ParseStatus);
        for (const BatteryFile& file : BatteryNumberFiles)
            battery.*(file.number) = SysfsNumber(folder + std::string(file.file));
    }
    std::sort(batteries_.begin(), batteries_.end(), [](const Battery& a, const Battery& b) { return a.name < b.name; });
}

// --- a node exporter page ----------------------------------------------------------------------

std::span<const std::string_view> PowerSupplySource::Series() const
{
    return PowerSupplySeries;
}

void PowerSupplySource::BeginPage(std::uint64_t collection)
{
    fed_ = true;
    collection_ = collection;
    batteries_.clear();
    pageBatteries_.clear();
}

Battery& PowerSupplySource::PageBattery(std::string_view name)
{
    for (Battery& battery : batteries_) {
        if (battery.name == name)
            return battery;
    }
    Battery& battery = batteries_.emplace_back();
    battery.name.assign(name);
    return battery;
}

void PowerSupplySource::TakeSample(const ExpositionPage& page, const ExpositionSample& sample)
{
    const std::string_view name = page.Label(sample, "power_supply");
    if (name.empty())
        return;
    if (sample.name == InfoSeries) {
        if (page.Label(sample, "type") != "Battery")
            return;
        pageBatteries_.emplace_back(name);
        std::int64_t status = 0;
        if (ParseStatus(page.Label(sample, "status"), status))
            PageBattery(name).status.Feed(collection_, status);
        return;
    }
    const auto series = std::find_if(BatteryPageSeries.begin(), BatteryPageSeries.end(),
                                     [&](const BatterySeries& known) { return known.metric == sample.name; });
    if (series == BatteryPageSeries.end())
        return;
    const double scaled = sample.value * series->scale;
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.0e18)
        return;
    (PageBattery(name).*(series->number)).Feed(collection_, std::llround(scaled));
}

void PowerSupplySource::EndPage()
{
    std::erase_if(batteries_, [&](const Battery& battery) {
        return std::find(pageBatteries_.begin(), pageBatteries_.end(), battery.name) == pageBatteries_.end();
    });
    std::sort(batteries_.begin(), batteries_.end(), [](const Battery& a, const Battery& b) { return a.name < b.name; });
}

const ObjectFamily& BatteryFamily()
{
    static constexpr ObjectFamily family{
        "Battery",
        "The batteries of /sys/class/power_supply (type \"Battery\"), named by their folder, such as BAT0.",
        BatteryCounters, true, sources::PowerSupply, MakeBatteryReader, ListBatteries};
    return family;
}

} // namespace quel
