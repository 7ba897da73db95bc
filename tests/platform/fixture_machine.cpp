#include "fixture_machine.h"

#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace quel::test {

FixtureMachine::FixtureMachine(std::string_view name)
{
    std::filesystem::copy(std::filesystem::path(QUEL_FIXTURES_DIR) / name, root_.Path(),
                          std::filesystem::copy_options::recursive
                              | std::filesystem::copy_options::copy_symlinks);
}

void FixtureMachine::Write(std::string_view relative, std::string_view content) const
{
    const std::filesystem::path path = root_ / relative;
    std::filesystem::create_directories(path.parent_path());
    ASSERT_TRUE(WriteFile(path, content)) << path;
}

void FixtureMachine::Remove(std::string_view relative) const
{
    std::filesystem::remove_all(root_ / relative);
}

void FakeVolumes::Set(const std::string& mountPoint, VolumeSpace space)
{
    std::lock_guard lock(mutex_);
    spaces_[mountPoint] = space;
}

void FakeVolumes::Hang(const std::string& mountPoint)
{
    std::lock_guard lock(mutex_);
    hanging_.insert(mountPoint);
}

void FakeVolumes::Release()
{
    std::lock_guard lock(mutex_);
    hanging_.clear();
    released_.notify_all();
}

VolumeStatFunction FakeVolumes::Function()
{
    return [this](const char* mountPoint, VolumeSpace& space) { return Stat(mountPoint, space); };
}

bool FakeVolumes::Stat(const char* mountPoint, VolumeSpace& space)
{
    std::unique_lock lock(mutex_);
    released_.wait(lock, [&] { return hanging_.count(mountPoint) == 0; });
    const auto found = spaces_.find(mountPoint);
    if (found == spaces_.end())
        return false;
    space = found->second;
    return true;
}

namespace {

LinuxPerfDataSourceOptions ProviderOptions(const FixtureMachine& machine, ManualClock& clock, FakeVolumes& volumes,
                                           std::chrono::milliseconds volumeWait)
{
    LinuxPerfDataSourceOptions options;
    options.procRoot = machine.ProcRoot();
    options.sysRoot = machine.SysRoot();
    options.clock = clock.Function();
    options.volumeStat = volumes.Function();
    options.volumeProbeWait = volumeWait;
    options.hostName = "quelbox";
    return options;
}

} // namespace

FixtureProvider::FixtureProvider(std::string_view name, std::chrono::milliseconds volumeWait)
    : machine(name), source(ProviderOptions(machine, clock, volumes, volumeWait))
{
    EXPECT_EQ(source.OpenQuery(query), perf_status::Ok);
}

FixtureProvider::~FixtureProvider()
{
    volumes.Release();
    source.CloseQuery(query);
}

PerfCounterHandle FixtureProvider::Add(std::string_view path)
{
    PerfCounterHandle counter = nullptr;
    source.AddCounter(query, path, counter);
    EXPECT_NE(counter, nullptr) << path;
    return counter;
}

PerfStatus FixtureProvider::Collect()
{
    return source.CollectQueryData(query);
}

PerfStatus FixtureProvider::CollectAfter(double seconds)
{
    clock.Advance(seconds);
    return Collect();
}

Reading FixtureProvider::Read(PerfCounterHandle counter)
{
    Reading reading{};
    reading.status = source.GetFormattedCounterValue(counter, reading.value);
    return reading;
}

namespace {

// The counter and instance name lists of an object; false when it has none.
bool ObjectItems(LinuxPerfDataSource& source, std::string_view object, std::vector<char>& counters,
                 std::vector<char>& instances)
{
    std::size_t countersLength = 0;
    std::size_t instancesLength = 0;
    if (source.EnumObjectItems(object, nullptr, countersLength, nullptr, instancesLength) != perf_status::MoreData)
        return false;
    counters.assign(countersLength, '\0');
    instances.assign(instancesLength, '\0');
    return source.EnumObjectItems(object, counters.data(), countersLength, instances.data(), instancesLength) ==
           perf_status::Ok;
}

} // namespace

std::vector<std::string> FixtureProvider::Instances(std::string_view object)
{
    std::vector<char> counters;
    std::vector<char> instances;
    return ObjectItems(source, object, counters, instances) ? SplitNameList(instances.data()) : std::vector<std::string>();
}

std::vector<std::string> FixtureProvider::Counters(std::string_view object)
{
    std::vector<char> counters;
    std::vector<char> instances;
    return ObjectItems(source, object, counters, instances) ? SplitNameList(counters.data()) : std::vector<std::string>();
}

std::vector<std::string> SplitNameList(const char* list)
{
    std::vector<std::string> names;
    for (const char* name = list; *name != '\0'; name += names.back().size() + 1)
        names.emplace_back(name);
    return names;
}

std::string DiskStatsLine(unsigned major, unsigned minor, std::string_view name, const DiskCounts& c)
{
    char line[320];
    std::snprintf(line, sizeof line, "%4u %7u %.*s %llu 0 %llu %llu %llu 0 %llu %llu %llu %llu %llu 0 0 0 0 0 0\n", major,
                  minor, static_cast<int>(name.size()), name.data(), static_cast<unsigned long long>(c.reads),
                  static_cast<unsigned long long>(c.sectorsRead), static_cast<unsigned long long>(c.readMs),
                  static_cast<unsigned long long>(c.writes), static_cast<unsigned long long>(c.sectorsWritten),
                  static_cast<unsigned long long>(c.writeMs), static_cast<unsigned long long>(c.inFlight),
                  static_cast<unsigned long long>(c.ioTicks), static_cast<unsigned long long>(c.weightedMs));
    return line;
}

} // namespace quel::test
