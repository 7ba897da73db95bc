#pragma once
// A fixture machine served by the real node exporter on 127.0.0.1, read both by the local
// provider (from the files) and through \\127.0.0.1:PORT\... (over HTTP), on one manual clock.

#include "fixture_machine.h"
#include "platform/linux_perf_data_source.h"
#include "support/server_process.h"

#include <memory>
#include <string>
#include <vector>

namespace quel::test {

// Options of a provider that reads remote computers quickly and on the given clock.
LinuxPerfDataSourceOptions RemoteProviderOptions(ManualClock& clock, std::chrono::milliseconds deadline,
                                                 std::chrono::milliseconds wait);

class NodeExporterMachine {
public:
    // flags: more of the exporter's flags, such as collectors that are off by default.
    explicit NodeExporterMachine(const std::vector<std::string>& flags = {});
    // Whether the exporter runs; false when it could not be started.
    bool Running() const { return running_; }
    // "\\127.0.0.1:PORT" + path.
    std::string Remote(const std::string& path) const;
    std::string Computer() const;
    // Raises every rate source of the machine (/proc/stat, vmstat, disks, interfaces, the SNMP
    // tables, pressure, RAPL energy), moves its sensors and battery and changes the amdgpu
    // card's figures.
    void Advance(int step) const;

    FixtureMachine machine{"machine-4cpu"};
    ManualClock clock;
    std::unique_ptr<LinuxPerfDataSource> local;
    std::unique_ptr<LinuxPerfDataSource> remote;

private:
    std::string rootfs_;
    ServerProcess exporter_;
    bool running_ = false;
};

} // namespace quel::test
