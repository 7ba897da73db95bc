#include "platform/computer_address.h"

#include "platform/counter_path.h"
#include "platform/text_scan.h"

#include <climits>

#include <unistd.h>

namespace quel {
namespace {

bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'
        || c == '_';
}

bool IsHostName(std::string_view host)
{
    if (host.empty() || host.size() > 253 || host.front() == '-' || host.front() == '.')
        return false;
    for (const char c : host) {
        if (!IsNameChar(c))
            return false;
    }
    return true;
}

bool IsIpv6Address(std::string_view host)
{
    const std::size_t zone = host.find('%');
    const std::string_view address = host.substr(0, zone);
    if (address.size() < 2 || address.find(':') == std::string_view::npos)
        return false;
    for (const char c : address) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex && c != ':' && c != '.')
            return false;
    }
    if (zone == std::string_view::npos)
        return true;
    const std::string_view zoneName = host.substr(zone + 1);
    return !zoneName.empty() && IsHostName(zoneName);
}

bool ParsePort(std::string_view text, std::uint16_t& port)
{
    std::uint64_t value = 0;
    if (text.empty() || text.size() > 5 || !text::ParseU64(text, value) || value == 0 || value > 65535)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

} // namespace

bool ParseComputerAddress(std::string_view computer, ComputerAddress& address)
{
    address = ComputerAddress{};
    std::string_view host = computer;
    if (computer.starts_with('[')) {
        const std::size_t close = computer.find(']');
        if (close == std::string_view::npos)
            return false;
        host = computer.substr(1, close - 1);
        const std::string_view rest = computer.substr(close + 1);
        if (!rest.empty()) {
            if (!rest.starts_with(':') || !ParsePort(rest.substr(1), address.port))
                return false;
            address.hasPort = true;
        }
        if (!IsIpv6Address(host))
            return false;
        address.isIpv6 = true;
    } else if (computer.find(':') != computer.rfind(':')) {
        // Two colons or more without brackets: an IPv6 address without a port.
        if (!IsIpv6Address(host))
            return false;
        address.isIpv6 = true;
    } else {
        const std::size_t colon = computer.find(':');
        if (colon != std::string_view::npos) {
            host = computer.substr(0, colon);
            if (!ParsePort(computer.substr(colon + 1), address.port))
                return false;
            address.hasPort = true;
        }
        if (!IsHostName(host))
            return false;
    }
    address.host.assign(host);
    return true;
}

bool IsRemoteComputer(std::string_view computer, std::string_view hostName)
{
    if (computer.empty())
        return false;
    return computer.find(':') != std::string_view::npos || computer.starts_with('[')
        || !IsLocalComputer(computer, hostName);
}

std::string MetricsUrl(const ComputerAddress& address)
{
    std::string url = "http://";
    if (address.isIpv6) {
        url += '[';
        // A zone in a URL is written %25zone.
        const std::size_t zone = address.host.find('%');
        url += zone == std::string::npos ? address.host : address.host.substr(0, zone) + "%25" + address.host.substr(zone + 1);
        url += ']';
    } else {
        url += address.host;
    }
    url += ':';
    url += std::to_string(address.port);
    url += "/metrics";
    return url;
}

bool PathReadsOverHttp(std::string_view path, std::string_view hostName)
{
    CounterPath parts;
    return ParseCounterPath(path, parts) && IsRemoteComputer(parts.computer, hostName);
}

std::string LocalHostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

} // namespace quel
