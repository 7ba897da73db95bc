#include "service/service_status.h"

namespace quel {

std::string NotifyMessage(const ServiceStatus& status)
{
    std::string message;
    switch (status.currentState) {
    case ServiceState::StartPending:
        if (status.waitHint > 0)
            message = "EXTEND_TIMEOUT_USEC=" + std::to_string(std::uint64_t {status.waitHint} * 1000) + "\n";
        message += "STATUS=Starting (step " + std::to_string(status.checkPoint) + ")";
        break;
    case ServiceState::Running:
        message = "READY=1\nSTATUS=Running";
        break;
    case ServiceState::StopPending:
        message = "STOPPING=1\nSTATUS=Stopping";
        break;
    case ServiceState::Stopped:
        message = "STATUS=Stopped";
        if (status.exitCode != 0)
            message += "\nERRNO=" + std::to_string(status.exitCode);
        break;
    }
    return message;
}

} // namespace quel
