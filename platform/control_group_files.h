#pragma once
// Parsers of the cgroup v2 interface files a control group's counters read. Each takes the
// whole content of one file and fails on anything it cannot read as the kernel prints it.

#include <cstdint>
#include <string_view>

namespace quel {

// The value of key in a flat keyed file such as cpu.stat ("usage_usec 5403924" per line).
bool ParseKeyedValue(std::string_view content, std::string_view key, std::uint64_t& value);

// The sum over every device line of io.stat ("8:0 rbytes=1363968 wbytes=0 rios=36 ...") of the
// field key ("rbytes", "wbytes"); 0 when no device has done I/O yet (an empty file).
bool ParseIoStatSum(std::string_view content, std::string_view key, std::uint64_t& sum);

// A single number such as memory.current, pids.current or memory.max; the "max" of a limit
// (no limit at all) is not a number and fails, rather than standing for infinity.
bool ParseSingleValue(std::string_view content, std::uint64_t& value);

} // namespace quel
