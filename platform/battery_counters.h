#pragma once
// Battery: the power supplies of /sys/class/power_supply whose type is "Battery": charge,
// charge or discharge rate, time left and voltage.

#include "platform/object_family.h"
#include "platform/page_feed.h"
#include "platform/sysfs_number.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quel {

// The status file as a number.
enum class BatteryStatus : std::int64_t { Unknown, Charging, Discharging, NotCharging, Full };

struct Battery {
    std::string name;  // "BAT0"
    SysfsNumber status;
    SysfsNumber capacity;    // percent
    SysfsNumber energyNow;   // microwatt-hours
    SysfsNumber energyFull;  // microwatt-hours
    SysfsNumber chargeNow;   // microampere-hours
    SysfsNumber chargeFull;  // microampere-hours
    SysfsNumber powerNow;    // microwatts
    SysfsNumber currentNow;  // microamperes
    SysfsNumber voltageNow;  // microvolts
};

class PowerSupplySource final : public PageFeed {
public:
    explicit PowerSupplySource(const std::string& sysRoot);
    void Refresh(std::uint64_t collection, std::int64_t nowNs);
    std::uint64_t Collection() const { return collection_; }
    // The battery named name; walks /sys/class/power_supply again (at most every 10 s) when
    // there is none. Null: none.
    Battery* Find(std::string_view name);
    void List(std::vector<std::string>& names);

    // The node exporter's series of this source (PageFeed).
    std::span<const std::string_view> Series() const override;
    void BeginPage(std::uint64_t collection) override;
    void TakeSample(const ExpositionPage& page, const ExpositionSample& sample) override;
    void EndPage() override;

private:
    void Discover();
    Battery& PageBattery(std::string_view name);

    std::string sysRoot_;
    std::vector<Battery> batteries_;
    std::uint64_t collection_ = 0;
    std::int64_t nowNs_ = 0;
    std::int64_t discoveredNs_ = 0;
    bool discovered_ = false;
    bool fed_ = false;
    std::vector<std::string> pageBatteries_;  // the names the page's info series calls batteries
};

const ObjectFamily& BatteryFamily();

} // namespace quel
