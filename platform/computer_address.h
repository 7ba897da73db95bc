#pragma once
// The computer part of a counter path as a network address: "web01", "web01:9100",
// "10.0.0.5:9100", "[2001:db8::5]:9100", "[::1]" or a bare IPv6 address. A computer is read
// over HTTP when it is not this machine or when it carries a port (so "localhost:9100" reads the
// node exporter of this machine).

#include <cstdint>
#include <string>
#include <string_view>

namespace quel {

constexpr std::uint16_t DefaultMetricsPort = 9100;

struct ComputerAddress {
    std::string host;  // without brackets
    std::uint16_t port = DefaultMetricsPort;
    bool hasPort = false;
    bool isIpv6 = false;
};

// Splits computer into host and port. False when it is not a host name or address we can put
// into a URL (only letters, digits, ".", "-" and "_" in names; hexadecimal digits, ":", "." and
// a "%zone" in IPv6 addresses) or the port is not 1..65535.
bool ParseComputerAddress(std::string_view computer, ComputerAddress& address);

// Whether the computer part of a path is read over HTTP rather than from this machine.
bool IsRemoteComputer(std::string_view computer, std::string_view hostName);
// Whether a counter path names a computer read over HTTP (false for a path that does not parse).
bool PathReadsOverHttp(std::string_view path, std::string_view hostName);
// This machine's host name; empty when it has none.
std::string LocalHostName();

// "http://HOST:PORT/metrics", the IPv6 host in brackets.
std::string MetricsUrl(const ComputerAddress& address);

} // namespace quel
