// The profile reader: an input is loaded as a profile, saved, loaded again into a fresh monitor
// and saved again. Nothing may crash, and the two saves must be the same bytes (what a load
// keeps, a save writes, and the next load reads back). Loads and saves are the programs' own,
// on text in memory: a save to a file only adds the synced write, which would cost more than
// everything else here.

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
    }

    void Run(std::string_view content)
    {
        const std::string first = LoadAndSave(content);
        const std::string second = LoadAndSave(first);
        if (first != second)
            Finding("a saved profile, loaded and saved again, changed");
    }

private:
    // The way the programs open a profile: the default set, no axes, the text.
    std::string LoadAndSave(std::string_view text)
    {
        CounterMonitor monitor(environment_);
        monitor.SetUpDefaultProfile();
        monitor.RemoveAllAxes();
        monitor.LoadFromText(text);
        std::string saved;
        if (monitor.SaveToText(saved) != 1)
            Finding("a loaded profile could not be saved");
        return saved;
    }

    LinuxPerfDataSource source_;
    MonitorEnvironment environment_;
};

} // namespace
} // namespace quel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static quel::fuzz::Profiles profiles;
    profiles.Run(quel::fuzz::AsText(data, size));
    return 0;
}
