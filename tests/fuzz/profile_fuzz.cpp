// The profile reader: an input is loaded as a profile, saved, loaded again into a fresh monitor
// and saved again. Nothing may crash, and the two saves must be the same bytes (what a load
// keeps, a save writes, and the next load reads back).

#include "engine/counter_monitor.h"
#include "fuzz_support.h"
#include "platform/linux_perf_data_source.h"

namespace quel::fuzz {
namespace {

class Profiles {
public:
    Profiles()
        : source_(std::string(QUEL_FIXTURES_DIR) + "/machine-1cpu/proc", std::string(QUEL_FIXTURES_DIR) + "/machine-1cpu/sys")
    {
        environment_.source = &source_;
        folder_ = ScratchFolder();
    }

    void Run(std::string_view content)
    {
        WriteInPlace(folder_ + "/input.qlmd", content);
        const std::string first = LoadAndSave(folder_ + "/input.qlmd", folder_ + "/first.qlmd");
        const std::string second = LoadAndSave(folder_ + "/first.qlmd", folder_ + "/second.qlmd");
        if (first != second)
            Finding("a saved profile, loaded and saved again, changed");
    }

private:
    // The way the programs open a profile: the default set, no axes, the file.
    std::string LoadAndSave(const std::string& from, const std::string& to)
    {
        CounterMonitor monitor(environment_);
        monitor.SetUpDefaultProfile();
        monitor.RemoveAllAxes();
        monitor.LoadFromFile(from);
        if (monitor.SaveToFile(to) != 1)
            Finding("a loaded profile could not be saved");
        return ReadWhole(to);
    }

    LinuxPerfDataSource source_;
    MonitorEnvironment environment_;
    std::string folder_;
};

} // namespace
} // namespace quel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static quel::fuzz::Profiles profiles;
    profiles.Run(quel::fuzz::AsText(data, size));
    return 0;
}
