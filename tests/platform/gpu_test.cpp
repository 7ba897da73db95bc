// Graphics cards: amdgpu's sysfs figures on machine-4cpu, NVIDIA's through a fake NVML library on
// machine-1cpu (whose /proc/driver/nvidia says the driver is there), and a library that is missing.

#include "fixture_machine.h"
#include "platform/sensor_counters.h"
#include "platform/system_snapshot.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>

namespace quel::test {
namespace {

using namespace perf_status;

constexpr const char* Engine = "\\GPU Engine(card0)\\Utilization Percentage";
constexpr const char* Used = "\\GPU Adapter Memory(card0)\\Dedicated Usage";
constexpr const char* Limit = "\\GPU Adapter Memory(card0)\\Dedicated Limit";
constexpr const char* Shared = "\\GPU Adapter Memory(card0)\\Shared Usage";
constexpr const char* AmdDevice = "sys/devices/pci0000:00/0000:00:03.1/0000:0a:00.0/";

TEST(GpuTest, AmdgpuFiguresFollowTheirFilesAndFailWhereAFileDoes)
{
    FixtureProvider p("machine-4cpu");
    EXPECT_EQ(p.Instances("GPU Engine"), std::vector<std::string>{"card0"}) << "no connector, no render node";
    EXPECT_EQ(p.Instances("GPU Adapter Memory"), std::vector<std::string>{"card0"});
    const PerfCounterHandle engine = p.Add(Engine);
    const PerfCounterHandle used = p.Add(Used);
    const PerfCounterHandle limit = p.Add(Limit);
    const PerfCounterHandle shared = p.Add(Shared);
    const PerfCounterHandle other = p.Add("\\GPU Engine(card1)\\Utilization Percentage");
    // A kernel whose amdgpu has no GTT figure: that counter fails, the others read.
    p.machine.Remove(std::string(AmdDevice) + "mem_info_gtt_used");
    ASSERT_EQ(p.Collect(), Ok);
    EXPECT_EQ(p.Read(engine).value, 37.0) << "a gauge: no priming collection";
    EXPECT_EQ(p.Read(used).value, 1073741824.0);
    EXPECT_EQ(p.Read(limit).value, 17163091968.0);
    EXPECT_EQ(p.Read(shared).status, Unreadable);
    EXPECT_EQ(p.Read(other).status, NoInstance);

    // New figures, the GTT file comes, and the busy file holds no percentage: that one fails
    // and the rest read on.
    p.machine.Write(std::string(AmdDevice) + "gpu_busy_percent", "250\n");
    p.machine.Write(std::string(AmdDevice) + "mem_info_vram_used", "2147483648\n");
    p.machine.Write(std::string(AmdDevice) + "mem_info_gtt_used", "67108864\n");
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(engine).status, Unreadable);
    EXPECT_EQ(p.Read(used).value, 2147483648.0);
    EXPECT_EQ(p.Read(limit).value, 17163091968.0);
    EXPECT_EQ(p.Read(shared).value, 67108864.0);

    // A read that gives nothing (the device suspended) or no number fails.
    p.machine.Write(std::string(AmdDevice) + "gpu_busy_percent", "5\n");
    p.machine.Write(std::string(AmdDevice) + "mem_info_vram_used", "garbage\n");
    p.machine.Write(std::string(AmdDevice) + "mem_info_gtt_used", "");
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    EXPECT_EQ(p.Read(engine).value, 5.0);
    EXPECT_EQ(p.Read(used).status, Unreadable);
    EXPECT_EQ(p.Read(shared).status, Unreadable);

    // The card goes away: its reads fail as an instance that does not exist.
    p.machine.Remove("sys/class/drm/card0");
    ASSERT_EQ(p.CollectAfter(1.0), Ok);
    for (const PerfCounterHandle counter : {engine, used, limit, shared})
        EXPECT_EQ(p.Read(counter).status, NoInstance);
    EXPECT_TRUE(p.Instances("GPU Engine").empty());
}

// The fake library's GPUs (see fake_nvml.c), one line each.
std::string NvmlLine(std::string_view utilization, std::string_view used, std::string_view total = "12884901888")
{
    return "00000000:01:00.0 0 " + std::string(utilization) + " " + std::string(used) + " " + std::string(total)
        + " 61 95250\n";
}

// machine-1cpu read with the fake NVML (or another library), its GPUs in a file the test writes.
class NvidiaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state = machine.ProcRoot() + "/../nvml-state";
        ASSERT_EQ(::setenv("QUEL_FAKE_NVML_FILE", state.c_str(), 1), 0);
        WriteState(NvmlLine("42", "3221225472"));
    }

    void WriteState(const std::string& text) const { ASSERT_TRUE(WriteFile(state, text)); }

    std::unique_ptr<LinuxPerfDataSource> Provider(const std::string& library)
    {
        LinuxPerfDataSourceOptions options;
        options.procRoot = machine.ProcRoot();
        options.sysRoot = machine.SysRoot();
        options.clock = clock.Function();
        options.hostName = "quelbox";
        options.nvmlLibrary = library;
        options.notice = [this](const std::string& text) { notices.push_back(text); };
        return std::make_unique<LinuxPerfDataSource>(options);
    }

    // The fake library's count of calls to name, as loaded by the provider.
    static unsigned Calls(const char* name)
    {
        void* handle = ::dlopen(QUEL_FAKE_NVML, RTLD_NOW | RTLD_NOLOAD);
        if (handle == nullptr)
            return 0;
        const unsigned* calls = static_cast<const unsigned*>(::dlsym(handle, name));
        const unsigned count = calls ? *calls : 0;
        ::dlclose(handle);
        return count;
    }

    struct Query {
        PerfDataSource& source;
        PerfQueryHandle handle = nullptr;
        Reading Read(PerfCounterHandle counter)
        {
            Reading reading{};
            reading.status = source.GetFormattedCounterValue(counter, reading.value);
            return reading;
        }
        PerfCounterHandle Add(const char* path)
        {
            PerfCounterHandle counter = nullptr;
            source.AddCounter(handle, path, counter);
            return counter;
        }
    };

    FixtureMachine machine{"machine-1cpu"};
    ManualClock clock;
    std::string state;
    std::vector<std::string> notices;
};

TEST_F(NvidiaTest, NvmlGivesTheCardsFiguresAskingOncePerCollection)
{
    auto source = Provider(QUEL_FAKE_NVML);
    Query q{*source};
    ASSERT_EQ(source->OpenQuery(q.handle), Ok);
    const PerfCounterHandle engine = q.Add(Engine);
    const PerfCounterHandle used = q.Add(Used);
    const PerfCounterHandle limit = q.Add(Limit);
    const PerfCounterHandle shared = q.Add(Shared);
    const PerfCounterHandle intel = q.Add("\\GPU Engine(card1)\\Utilization Percentage");
    ASSERT_EQ(source->CollectQueryData(q.handle), Ok);
    EXPECT_EQ(q.Read(engine).value, 42.0);
    EXPECT_EQ(q.Read(used).value, 3221225472.0);
    EXPECT_EQ(q.Read(limit).value, 12884901888.0);
    EXPECT_EQ(q.Read(shared).status, Unreadable) << "NVML gives no GTT figure";
    EXPECT_EQ(q.Read(intel).status, Unreadable) << "i915 publishes no load";
    const unsigned memoryCalls = Calls("fake_nvml_memory_calls");
    EXPECT_GE(memoryCalls, 1U);

    // Two counters of the same memory figures: one call per collection.
    WriteState(NvmlLine("7", "1073741824"));
    clock.Advance(1.0);
    ASSERT_EQ(source->CollectQueryData(q.handle), Ok);
    EXPECT_EQ(Calls("fake_nvml_memory_calls"), memoryCalls + 1);
    EXPECT_EQ(q.Read(engine).value, 7.0);
    EXPECT_EQ(q.Read(used).value, 1073741824.0);

    // What NVML refuses or cannot mean fails the read; the other figures read on.
    WriteState(NvmlLine("-", "20000000000"));
    clock.Advance(1.0);
    ASSERT_EQ(source->CollectQueryData(q.handle), Ok);
    EXPECT_EQ(q.Read(engine).status, Unreadable);
    EXPECT_EQ(q.Read(used).status, Unreadable) << "more used than there is";

    // The GPU leaves NVML's list (fallen off the bus): its card's reads fail.
    WriteState("");
    clock.Advance(1.0);
    ASSERT_EQ(source->CollectQueryData(q.handle), Ok);
    EXPECT_EQ(q.Read(limit).status, Unreadable);
    EXPECT_TRUE(notices.empty());
    source->CloseQuery(q.handle);
}

TEST_F(NvidiaTest, DevicesListTemperatureAndPowerForOtherObjects)
{
    SnapshotOptions options;
    options.procRoot = machine.ProcRoot();
    options.sysRoot = machine.SysRoot();
    options.nvmlLibrary = QUEL_FAKE_NVML;
    WriteState(NvmlLine("1", "2") + "00000000:02:00.0 3 1 2 3 - -\n");
    SystemSnapshot snapshot(options);
    snapshot.Refresh(sources::Nvml);
    const std::vector<NvmlDevice>& devices = snapshot.Nvml().Devices();
    ASSERT_EQ(devices.size(), 2U);
    EXPECT_EQ(devices[0].name, "nvidia0");
    EXPECT_EQ(devices[0].temperature, 61.0);
    EXPECT_EQ(devices[0].power, 95250.0);
    EXPECT_EQ(devices[1].name, "nvidia3");
    EXPECT_FALSE(devices[1].temperature.has_value());
    EXPECT_FALSE(devices[1].power.has_value());

    // The GPUs are instances of the temperature and power objects, after the sysfs sensors.
    for (const ObjectFamily* family : {&ThermalZoneFamily(), &PowerMeterFamily()}) {
        std::vector<std::string> names;
        snapshot.Refresh(family->instanceSources);
        family->listInstances(snapshot, names);
        ASSERT_GE(names.size(), 2U) << family->name;
        EXPECT_EQ(names[names.size() - 2], "nvidia0") << family->name;
        EXPECT_EQ(names.back(), "nvidia3") << family->name;
    }
    auto source = Provider(QUEL_FAKE_NVML);
    Query q{*source};
    ASSERT_EQ(source->OpenQuery(q.handle), Ok);
    const PerfCounterHandle temperature = q.Add("\\Thermal Zone Information(nvidia0)\\Temperature");
    const PerfCounterHandle critical = q.Add("\\Thermal Zone Information(nvidia0)\\Critical Temperature");
    const PerfCounterHandle power = q.Add("\\Power Meter(nvidia0)\\Power");
    const PerfCounterHandle silent = q.Add("\\Power Meter(nvidia3)\\Power");
    const PerfCounterHandle missing = q.Add("\\Power Meter(nvidia7)\\Power");
    ASSERT_EQ(source->CollectQueryData(q.handle), Ok);
    EXPECT_EQ(q.Read(temperature).value, 61.0);
    EXPECT_EQ(q.Read(critical).status, Unreadable);
    EXPECT_EQ(q.Read(power).value, 95250.0);
    EXPECT_EQ(q.Read(silent).status, Unreadable);
    EXPECT_EQ(q.Read(missing).status, NoInstance);
    source->CloseQuery(q.handle);
}

TEST_F(NvidiaTest, AMissingLibraryIsToldOnceAndNoDriverLoadsNothing)
{
    auto source = Provider(machine.ProcRoot() + "/../no-such-libnvidia-ml.so.1");
    Query q{*source};
    ASSERT_EQ(source->OpenQuery(q.handle), Ok);
    const PerfCounterHandle engine = q.Add(Engine);
    const PerfCounterHandle used = q.Add(Used);
    for (int collection = 0; collection < 3; ++collection) {
        clock.Advance(1.0);
        ASSERT_EQ(source->CollectQueryData(q.handle), Ok);
        EXPECT_EQ(q.Read(engine).status, NoLibrary);
        EXPECT_EQ(q.Read(used).status, NoLibrary);
    }
    ASSERT_EQ(notices.size(), 1U);
    EXPECT_NE(notices[0].find("no-such-libnvidia-ml.so.1"), std::string::npos) << notices[0];
    source->CloseQuery(q.handle);

    // Without the driver's /proc/driver/nvidia the library is never opened, so never missed.
    notices.clear();
    machine.Remove("proc/driver/nvidia");
    auto withoutDriver = Provider(machine.ProcRoot() + "/../no-such-libnvidia-ml.so.1");
    Query r{*withoutDriver};
    ASSERT_EQ(withoutDriver->OpenQuery(r.handle), Ok);
    const PerfCounterHandle engine2 = r.Add(Engine);
    ASSERT_EQ(withoutDriver->CollectQueryData(r.handle), Ok);
    EXPECT_EQ(r.Read(engine2).status, NoLibrary);
    EXPECT_TRUE(notices.empty());
    withoutDriver->CloseQuery(r.handle);
}

} // namespace
} // namespace quel::test
