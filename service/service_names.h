#pragma once
// Names the service program shows and registers.

namespace quel {

inline constexpr const char* ServiceName = "Quellarimond";             // service, display and log source
inline constexpr const char* ProgramName = "quelmondsrvc";             // in the usage lines
inline constexpr const char* UnitName = "quellarimond.service";        // the systemd unit
inline constexpr const char* ServiceRegistryKey = "Service";           // below the application key
inline constexpr const char* ServiceProfileValue = "Profile";
inline constexpr const char* FallbackProfileName = "ServiceDefault.qlmd";  // never read: names the log

} // namespace quel
