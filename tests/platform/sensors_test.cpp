// Hardware sensors: how hwmon chips, thermal zones, RAPL zones and batteries are named, RAPL
// power across a wrap and a sensor that comes back, sensor files that fail on their own, and a
// battery's rate and time as its status changes.

#include "fixture_machine.h"

#include <gtest/gtest.h>

namespace quel::test {
namespace {

using namespace perf_status;
using Names = std::vector<std::string>;

TEST(SensorsTest, InstancesAreChipAndLabelInKernelOrderWithRepeatsNumbered)
{
    FixtureProvider laptop("machine-4cpu");
    EXPECT_EQ(laptop.Instances("Thermal Zone Information"),
              (Names{"acpitz", "x86_pkg_temp", "acpitz temp1", "coretemp Package id 0", "coretemp Core 0",
                     "coretemp Core 1", "nvme Composite", "amdgpu edge"}));
    EXPECT_EQ(laptop.Instances("Power Meter"), (Names{"package-0", "core", "uncore", "amdgpu power1"}));
    EXPECT_EQ(laptop.Instances("Fan"), (Names{"thinkpad fan1"}));
    EXPECT_EQ(laptop.Instances("Battery"), (Names{"BAT0"}));

    // hwmon10 comes after hwmon4, not between hwmon1 and hwmon2 as its name sorts; a second
    // package with a core of the same names gets its zone.
    FixtureProvider desktop("machine-1cpu");
    desktop.machine.Write("sys/class/hwmon/hwmon10/name", "nvme\n");
    desktop.machine.Write("sys/class/hwmon/hwmon10/temp1_label", "Composite\n");
    desktop.machine.Write("sys/class/hwmon/hwmon10/temp1_input", "36850\n");
    desktop.machine.Write("sys/class/powercap/intel-rapl:0/name", "package-0\n");
    desktop.machine.Write("sys/class/powercap/intel-rapl:0/energy_uj", "1000\n");
    desktop.machine.Write("sys/class/powercap/intel-rapl:1/name", "package-0\n");
    desktop.machine.Write("sys/class/powercap/intel-rapl:1/energy_uj", "2000\n");
    EXPECT_EQ(desktop.Instances("Thermal Zone Information"),
              (Names{"nvme Composite", "k10temp Tctl", "amdgpu edge", "amdgpu junction", "amdgpu mem",
                     "nct6775 SYSTIN", "nvme Composite #2", "nvme Composite #3"}));
    EXPECT_EQ(desktop.Instances("Fan"), (Names{"amdgpu fan1", "nct6775 fan1", "nct6775 fan2", "nct6775 fan3"}));
    EXPECT_EQ(desktop.Instances("Power Meter"), (Names{"package-0", "package-0 (intel-rapl:1)", "amdgpu PPT"}));
    EXPECT_TRUE(desktop.Instances("Battery").empty());

    const PerfCounterHandle thirdNvme = desktop.Add("\\Thermal Zone Information(nvme Composite #3)\\Temperature");
    const PerfCounterHandle junctionCritical =
        desktop.Add("\\Thermal Zone Information(amdgpu junction)\\Critical Temperature");
    const PerfCounterHandle noCritical = desktop.Add("\\Thermal Zone Information(k10temp Tctl)\\Critical Temperature");
    const PerfCounterHandle fan = desktop.Add("\\Fan(nct6775 fan2)\\Speed");
    const PerfCounterHandle gpuPower = desktop.Add("\\Power Meter(amdgpu PPT)\\Power");
    ASSERT_EQ(desktop.Collect(), Ok);
    EXPECT_DOUBLE_EQ(desktop.Read(thirdNvme).value, 36.85);
    EXPECT_DOUBLE_EQ(desktop.Read(junctionCritical).value, 110.0);
    EXPECT_EQ(desktop.Read(noCritical).status, Unreadable) << "no tempM_crit: unknown, not 0";
    EXPECT_DOUBLE_EQ(desktop.Read(fan).value, 1152.0);
    EXPECT_DOUBLE_EQ(desktop.Read(gpuPower).value, 25000.0);
}

TEST(SensorsTest, RaplPowerIsTheEnergyRateAcrossTheWrapAndPrimesAgainForAZoneThatComesBack)
{
    FixtureProvider p("machine-4cpu");
    const PerfCounterHandle package = p.Add("\\Power Meter(package-0)\\Power");
    const PerfCounterHandle core = p.Add("\\Power Meter(core)\\Power");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(package).status, NoData) << "the first collection only primes";

    p.machine.Write("sys/class/powercap/intel-rapl:0/energy_uj", "96803398\n");  // +35 J in 2 s
    ASSERT_EQ(p.CollectAfter(2.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(package).value, 17500.0);
    EXPECT_DOUBLE_EQ(p.Read(core).value, 0.0);

    // The counter wraps to 0 after max_energy_range_uj (262143328850): 1 J before and 4 J after.
    p.machine.Write("sys/class/powercap/intel-rapl:0/energy_uj", "262142328850\n");
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    p.machine.Write("sys/class/powercap/intel-rapl:0/energy_uj", "4000000\n");
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(package).value, 5000.0);

    // Going back without a known range is a reset, not a wrap: prime again.
    p.machine.Write("sys/class/powercap/intel-rapl:0:0/max_energy_range_uj", "garbage\n");
    p.machine.Write("sys/class/powercap/intel-rapl:0:0/energy_uj", "1000\n");
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(core).status, NoData);

    // The zone goes away (a driver unloaded) and comes back, found by the next walk at most
    // 10 s later: its first value primes again.
    p.machine.Remove("sys/class/powercap/intel-rapl:0");
    EXPECT_EQ(p.Instances("Power Meter"), (Names{"core", "uncore", "amdgpu power1"}));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(package).status, NoInstance);
    p.machine.Write("sys/class/powercap/intel-rapl:0/name", "package-0\n");
    p.machine.Write("sys/class/powercap/intel-rapl:0/energy_uj", "9000000\n");
    ASSERT_EQ(p.CollectAfter(10.0), Ok);
    EXPECT_EQ(p.Read(package).status, NoData);
    p.machine.Write("sys/class/powercap/intel-rapl:0/energy_uj", "11000000\n");
    ASSERT_EQ(p.CollectAfter(0.5), Ok);
    EXPECT_DOUBLE_EQ(p.Read(package).value, 4000.0);
}

TEST(SensorsTest, AFailingSensorFileFailsOnlyItsOwnRead)
{
    FixtureProvider p("machine-1cpu");
    // A folder where an input should be (as sysfs cannot fail with EIO in a fixture, and a
    // driver's EIO takes the same path), text where a number should be, and an empty label.
    p.machine.Write("sys/class/hwmon/hwmon3/fan4_input/x", "");
    p.machine.Write("sys/class/hwmon/hwmon3/fan5_input", "N/A\n");
    p.machine.Write("sys/class/hwmon/hwmon3/fan5_label", " \n");
    const PerfCounterHandle broken = p.Add("\\Fan(nct6775 fan4)\\Speed");
    const PerfCounterHandle garbage = p.Add("\\Fan(nct6775 fan5)\\Speed");
    const PerfCounterHandle good = p.Add("\\Fan(nct6775 fan2)\\Speed");
    const PerfCounterHandle temperature = p.Add("\\Thermal Zone Information(nct6775 SYSTIN)\\Temperature");
    const PerfCounterHandle missing = p.Add("\\Fan(nct6775 fan9)\\Speed");
    for (int collection = 0; collection < 2; ++collection) {
        ASSERT_EQ(p.CollectAfter(1.0), Ok);
        EXPECT_EQ(p.Read(broken).status, Unreadable);
        EXPECT_EQ(p.Read(garbage).status, Unreadable);
        EXPECT_EQ(p.Read(missing).status, NoInstance);
        EXPECT_EQ(p.Read(good).status, Ok);
        EXPECT_DOUBLE_EQ(p.Read(temperature).value, 34.0);
        p.machine.Write("sys/class/hwmon/hwmon3/temp1_input", "34000\n");
    }
    // A fan that appears later is found by the next walk, at most every 10 s of sampling.
    p.machine.Write("sys/class/hwmon/hwmon3/fan9_input", "700\n");
    ASSERT_EQ(p.CollectAfter(11.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(missing).value, 700.0);
}

TEST(SensorsTest, BatteryRateAndTimeFollowItsStatusWithEnergyOrChargeFiles)
{
    FixtureProvider p("machine-4cpu");
    // BAT1 gives charge (microampere-hours) and current instead of energy and power.
    const std::string bat1 = "sys/class/power_supply/BAT1/";
    p.machine.Write(bat1 + "type", "Battery\n");
    p.machine.Write(bat1 + "status", "Charging\n");
    p.machine.Write(bat1 + "charge_now", "3000000\n");
    p.machine.Write(bat1 + "charge_full", "4000000\n");
    p.machine.Write(bat1 + "current_now", "-1500000\n");
    p.machine.Write(bat1 + "voltage_now", "12000000\n");
    EXPECT_EQ(p.Instances("Battery"), (Names{"BAT0", "BAT1"})) << "AC is a power supply, not a battery";
    const auto add = [&p](std::string_view battery, std::string_view counter) {
        return p.Add("\\Battery(" + std::string(battery) + ")\\" + std::string(counter));
    };
    const PerfCounterHandle charge0 = add("BAT0", "% Charge"), rate0 = add("BAT0", "Charge Rate"),
                            time0 = add("BAT0", "Remaining Time"), volts0 = add("BAT0", "Voltage");
    const PerfCounterHandle charge1 = add("BAT1", "% Charge"), rate1 = add("BAT1", "Charge Rate"),
                            time1 = add("BAT1", "Remaining Time");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_DOUBLE_EQ(p.Read(charge0).value, 76.0);
    EXPECT_DOUBLE_EQ(p.Read(rate0).value, -9500.0) << "discharging";
    EXPECT_DOUBLE_EQ(p.Read(time0).value, 4.0 * 3600.0) << "38 Wh at 9.5 W";
    EXPECT_DOUBLE_EQ(p.Read(volts0).value, 11800.0);
    EXPECT_DOUBLE_EQ(p.Read(charge1).value, 75.0);
    EXPECT_DOUBLE_EQ(p.Read(rate1).value, 18000.0) << "1.5 A x 12 V, charging whatever the driver's sign";
    EXPECT_DOUBLE_EQ(p.Read(time1).value, 2400.0) << "1 Ah to go at 1.5 A";

    p.machine.Write("sys/class/power_supply/BAT0/status", "Charging\n");
    p.machine.Write("sys/class/power_supply/BAT0/power_now", "10000000\n");
    p.machine.Write(bat1 + "status", "Full\n");
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(rate0).value, 10000.0);
    EXPECT_DOUBLE_EQ(p.Read(time0).value, 12.0 / 10.0 * 3600.0) << "12 Wh to full at 10 W";
    EXPECT_EQ(p.Read(time1).status, Unreadable) << "neither charging nor discharging";

    p.machine.Write("sys/class/power_supply/BAT0/status", "Discharging\n");
    p.machine.Write("sys/class/power_supply/BAT0/power_now", "0\n");
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(time0).status, Unreadable) << "no rate: no time, never infinity";
    EXPECT_EQ(p.Read(rate0).status, Ok);
}

} // namespace
} // namespace quel::test
