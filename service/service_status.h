#pragma once
// The status record the service reports to the service manager, and how each report reads as a
// notification message.

#include <cstdint>
#include <string>

namespace quel {

enum class ServiceState {
    Stopped = 1,
    StartPending = 2,
    StopPending = 3,
    Running = 4,
};

enum ServiceControl : std::uint32_t {
    ServiceControlStop = 1,
    ServiceControlInterrogate = 4,
};

inline constexpr std::uint32_t ServiceOwnProcess = 0x10;
inline constexpr std::uint32_t ServiceAcceptStop = 0x1;

struct ServiceStatus {
    std::uint32_t serviceType = ServiceOwnProcess;
    ServiceState currentState = ServiceState::Stopped;
    std::uint32_t controlsAccepted = 0;
    int exitCode = 0;
    int serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;  // milliseconds
};

// The datagram for a status: start-pending extends the start timeout by the wait hint,
// running is READY=1, stop-pending STOPPING=1; each carries a STATUS= line, and a stopped
// status with an exit code also ERRNO=.
std::string NotifyMessage(const ServiceStatus& status);

} // namespace quel
