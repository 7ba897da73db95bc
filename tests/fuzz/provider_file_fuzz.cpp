// One procfs or sysfs file of the provider, FUZZ_FILE (relative to a copy of a fixture machine),
// takes the input as its contents; every counter of the machine is then collected twice (rates
// need two collections) and read. Nothing may crash, and a value read is always finite.

#include "fuzz_support.h"
#include "platform/linux_perf_data_source.h"

#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

namespace quel::fuzz {
namespace {

std::vector<std::string> SplitNames(const std::vector<char>& list)
{
    std::vector<std::string> names;
    for (std::size_t at = 0; at < list.size() && list[at] != '\0'; at += names.back().size() + 1)
        names.emplace_back(list.data() + at);
    return names;
}

class Machine {
public:
    Machine()
    {
        root_ = ScratchFolder() + "/machine";
        std::filesystem::copy(std::string(QUEL_FIXTURES_DIR) + "/machine-4cpu", root_,
                              std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
        LinuxPerfDataSourceOptions options;
        options.procRoot = root_ + "/proc";
        options.sysRoot = root_ + "/sys";
        options.clock = [this] { return nanoseconds_ += 1'000'000'000; };
        options.volumeStat = [](const char*, VolumeSpace& space) {
            space = VolumeSpace {1000, 400, 300, 4096};
            return true;
        };
        options.volumeProbeWait = std::chrono::milliseconds(0);
        options.hostName = "fuzz";
        source_ = std::make_unique<LinuxPerfDataSource>(options);
        source_->OpenQuery(query_);
        AddEveryCounter();
    }

    void Run(std::string_view content)
    {
        WriteInPlace(root_ + "/" + FUZZ_FILE, content);
        for (int collection = 0; collection < 2; ++collection) {
            source_->CollectQueryData(query_);
            for (PerfCounterHandle counter : counters_) {
                double value = 0.0;
                if (source_->GetFormattedCounterValue(counter, value) == perf_status::Ok && !std::isfinite(value))
                    Finding("a counter read a value that is not finite");
            }
        }
    }

private:
    void AddEveryCounter()
    {
        std::vector<std::string> objects;
        source_->EnumObjects(objects);
        for (const std::string& object : objects) {
            std::size_t countersLength = 0;
            std::size_t instancesLength = 0;
            if (source_->EnumObjectItems(object, nullptr, countersLength, nullptr, instancesLength) != perf_status::MoreData)
                continue;
            std::vector<char> counterList(countersLength);
            std::vector<char> instanceList(instancesLength);
            if (source_->EnumObjectItems(object, counterList.data(), countersLength, instanceList.data(),
                                         instancesLength) != perf_status::Ok)
                continue;
            std::vector<std::string> instances = SplitNames(instanceList);
            if (instances.empty())
                instances.emplace_back();
            for (const std::string& counter : SplitNames(counterList)) {
                for (const std::string& instance : instances) {
                    const std::string path =
                        "\\" + object + (instance.empty() ? "" : "(" + instance + ")") + "\\" + counter;
                    PerfCounterHandle handle = nullptr;
                    if (source_->AddCounter(query_, path, handle) == perf_status::Ok)
                        counters_.push_back(handle);
                }
            }
        }
    }

    std::string root_;
    std::int64_t nanoseconds_ = 0;
    std::unique_ptr<LinuxPerfDataSource> source_;
    PerfQueryHandle query_ = nullptr;
    std::vector<PerfCounterHandle> counters_;
};

} // namespace
} // namespace quel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static quel::fuzz::Machine machine;
    machine.Run(quel::fuzz::AsText(data, size));
    return 0;
}
