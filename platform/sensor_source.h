#pragma once
// SensorSource: the hardware sensors of sysfs: thermal zones (/sys/class/thermal), the
// temperature, fan and power inputs of hwmon chips (/sys/class/hwmon) and the RAPL energy
// counters of /sys/class/powercap. Sensors are found by walking those folders when instances
// are listed, when a counter names a sensor not found yet, and after a read failed (at most
// every RediscoverNs); a collection reads only the files its counters ask for, each once.

#include "platform/page_feed.h"
#include "platform/sysfs_number.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quel {

enum class SensorKind : std::uint8_t {
    ZoneTemperature,  // a thermal zone: millidegrees Celsius
    Temperature,      // hwmon tempM_input: millidegrees Celsius
    Fan,              // hwmon fanM_input: revolutions per minute
    Power,            // hwmon powerM_average or powerM_input: microwatts
    Energy,           // a RAPL zone's energy_uj: microjoules, wrapping at max_energy_range_uj
};

// The objects that list sensors: which kinds each holds.
enum class SensorGroup : std::uint8_t { Thermal, Fan, Power };
SensorGroup GroupOf(SensorKind kind);

struct Sensor {
    SensorKind kind = SensorKind::Temperature;
    // The instance name; a name its object already has gets " #2", " #3" (RAPL: " (zone)").
    std::string name;
    std::string base;  // the name before " #2" or " (zone)" was added
    std::string zone;  // RAPL: the zone's folder, "intel-rapl:0:1"
    // What identifies the sensor across walks: its input file (a page: chip and sensor).
    std::string key;
    SysfsNumber input;
    SysfsNumber critical;  // millidegrees Celsius; no file: the kernel gives none
    SysfsNumber range;     // RAPL: max_energy_range_uj
    // Changes when the sensor is found anew, so that its rate primes again.
    std::uint64_t generation = 0;
};

class SensorSource final : public PageFeed {
public:
    static constexpr std::int64_t RediscoverNs = 10'000'000'000;

    explicit SensorSource(const std::string& sysRoot);
    // Starts a collection: values are read when first asked for in it.
    void Refresh(std::uint64_t collection, std::int64_t nowNs);
    std::uint64_t Collection() const { return collection_; }
    // The sensor of group named name; null when there is none.
    Sensor* Find(SensorGroup group, std::string_view name);
    // A read of a sensor failed: its device may be gone or renumbered.
    void NoteFailure() { stale_ = true; }
    // Walks sysfs, then appends the instance names of group.
    void List(SensorGroup group, std::vector<std::string>& names);

    // The node exporter's series of this source (PageFeed).
    std::span<const std::string_view> Series() const override;
    void BeginPage(std::uint64_t collection) override;
    void TakeSample(const ExpositionPage& page, const ExpositionSample& sample) override;
    void EndPage() override;

private:
    // A sensor as a page gives it, gathered before the sensors are named.
    struct PageSensor {
        SensorKind kind;
        std::string chip;    // hwmon chip label; RAPL: zone folder; thermal zone: its number
        std::string sensor;  // "temp1"; RAPL: its name; thermal zone: its type
        std::uint64_t index = 0;
        bool hasValue = false;
        bool hasCritical = false;
        std::int64_t value = 0;
        std::int64_t critical = 0;
        std::string label;
    };
    void Discover();
    void Replace(std::vector<Sensor> found);
    PageSensor& PageEntry(SensorKind kind, std::string_view chip, std::string_view sensor);

    std::string sysRoot_;
    std::vector<Sensor> sensors_;
    std::uint64_t collection_ = 0;
    std::int64_t nowNs_ = 0;
    std::int64_t discoveredNs_ = 0;
    bool discovered_ = false;
    bool stale_ = false;
    bool fed_ = false;
    std::uint64_t generations_ = 0;
    std::vector<PageSensor> page_;
    std::vector<std::pair<std::string, std::string>> chipNames_;  // a page's chip label, chip name
};

} // namespace quel
