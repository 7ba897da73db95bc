// Pressure stall information: the stalled share of the exact time between two collections,
// totals that go backwards, kernels without a cpu "full" line and kernels without PSI.

#include "fixture_machine.h"

#include <gtest/gtest.h>

namespace quel::test {
namespace {

using namespace perf_status;

// A /proc/pressure file; an empty full total leaves out the "full" line, as for cpu before 5.13.
std::string Pressure(std::string_view some, std::string_view full)
{
    std::string text = "some avg10=0.00 avg60=0.00 avg300=0.00 total=" + std::string(some) + "\n";
    if (!full.empty())
        text += "full avg10=0.00 avg60=0.00 avg300=0.00 total=" + std::string(full) + "\n";
    return text;
}

TEST(PressureTest, StalledShareOfTheTimeBetweenTwoCollectionsAndTotalsGoingBackwards)
{
    FixtureProvider p("machine-4cpu");
    EXPECT_EQ(p.Instances("Pressure"), (std::vector<std::string>{"cpu", "memory", "io"}));
    const PerfCounterHandle cpuSome = p.Add("\\Pressure(cpu)\\% Some Stalled");
    const PerfCounterHandle cpuFull = p.Add("\\Pressure(cpu)\\% Full Stalled");
    const PerfCounterHandle ioSome = p.Add("\\Pressure(io)\\% Some Stalled");
    const PerfCounterHandle ioFull = p.Add("\\Pressure(io)\\% Full Stalled");
    const PerfCounterHandle memoryFull = p.Add("\\Pressure(memory)\\% Full Stalled");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(cpuSome).status, NoData) << "the first collection only primes";

    // 2.5 s: cpu +500 ms waiting, io +2 s some and +250 ms full; the averages say otherwise and
    // play no part. The io fields come in another order, found by key.
    p.machine.Write("proc/pressure/cpu", "some avg10=99.00 avg60=99.00 avg300=99.00 total=93545123\n"
                                         "full avg10=0.00 avg60=0.00 avg300=0.00 total=0\n");
    p.machine.Write("proc/pressure/io", "some total=63955081 avg300=0.00 avg10=0.00 avg60=0.00 avg3600=7.0\n"
                                        "full avg10=0.00 total=58828187 avg60=0.00 avg300=0.00\n");
    ASSERT_EQ(p.CollectAfter(2.5), Ok);
    EXPECT_DOUBLE_EQ(p.Read(cpuSome).value, 20.0);
    EXPECT_EQ(p.Read(cpuFull).status, Ok) << "a full line of zeros is 0, not a failure";
    EXPECT_DOUBLE_EQ(p.Read(cpuFull).value, 0.0);
    EXPECT_DOUBLE_EQ(p.Read(ioSome).value, 80.0);
    EXPECT_DOUBLE_EQ(p.Read(ioFull).value, 10.0);
    EXPECT_EQ(p.Read(memoryFull).status, Ok) << "unchanged file: no stall";
    EXPECT_DOUBLE_EQ(p.Read(memoryFull).value, 0.0);

    // The totals go backwards (a checkpoint restored, a container's view): prime again rather
    // than read a huge unsigned difference.
    p.machine.Write("proc/pressure/cpu", Pressure("1000", "0"));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(cpuSome).status, NoData);
    EXPECT_EQ(p.Read(cpuFull).status, Ok) << "its own total did not go back";
    p.machine.Write("proc/pressure/cpu", Pressure("301000", "0"));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(cpuSome).value, 30.0);

    // No time between two collections: no value, and the next one covers the whole interval.
    ASSERT_EQ(p.CollectAfter(0.0), Ok);
    EXPECT_EQ(p.Read(cpuSome).status, NoData);
    p.machine.Write("proc/pressure/cpu", Pressure("401000", "0"));
    ASSERT_EQ(p.CollectAfter(0.5), Ok);
    EXPECT_DOUBLE_EQ(p.Read(cpuSome).value, 20.0);
}

TEST(PressureTest, CpuWithoutAFullLineFailsThatCounterOnly)
{
    FixtureProvider p("machine-4cpu");
    p.machine.Write("proc/pressure/cpu", Pressure("93045123", ""));
    const PerfCounterHandle cpuSome = p.Add("\\Pressure(cpu)\\% Some Stalled");
    const PerfCounterHandle cpuFull = p.Add("\\Pressure(cpu)\\% Full Stalled");
    const PerfCounterHandle memoryFull = p.Add("\\Pressure(memory)\\% Full Stalled");
    ASSERT_EQ(p.Collect(), Ok);
    p.machine.Write("proc/pressure/cpu", Pressure("93145123", ""));
    p.machine.Write("proc/pressure/memory", Pressure("4067494", "3551267"));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(cpuSome).value, 10.0);
    EXPECT_EQ(p.Read(cpuFull).status, Unreadable) << "no full line is no number, not 0";
    EXPECT_DOUBLE_EQ(p.Read(memoryFull).value, 10.0);
}

TEST(PressureTest, WithoutPressureFilesThereAreNoInstances)
{
    // machine-1cpu is a kernel without PSI (or booted with psi=0): no /proc/pressure at all.
    FixtureProvider p("machine-1cpu");
    EXPECT_TRUE(p.Instances("Pressure").empty());
    const PerfCounterHandle cpu = p.Add("\\Pressure(cpu)\\% Some Stalled");
    ASSERT_EQ(p.Collect(), Ok);
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(cpu).status, NoInstance);

    // The files appear (a tree mounted later): the first collection that sees them primes.
    p.machine.Write("proc/pressure/cpu", Pressure("1000", "0"));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Instances("Pressure"), std::vector<std::string>{"cpu"});
    EXPECT_EQ(p.Read(cpu).status, NoData);
    p.machine.Write("proc/pressure/cpu", Pressure("51000", "0"));
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_DOUBLE_EQ(p.Read(cpu).value, 5.0);
}

} // namespace
} // namespace quel::test
