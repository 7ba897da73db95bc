#pragma once
// Names the service program shows and registers.

namespace quel {

inline constexpr const char* ServiceName = "Quellarimond";             // service, display and log source
inline constexpr const char* ProgramName = "quelmondsrvc";             // in the usage lines
inline constexpr const char* UnitName = "quellarimond.service";        // the systemd unit
inline constexpr const char* ServiceRegistryKey = "Service";           // below the application key
inline constexpr const char* ServiceProfileValue = "Profile";
inline constexpr const char* MetricsListenValue = "MetricsListen";   // address of the /metrics listener
inline constexpr const char* MetricsOption = "metrics";               // "-metrics ADDRESS" after "-run"
inline constexpr const char* MetricsWebConfigValue = "MetricsWebConfig";  // its web configuration file
inline constexpr const char* MetricsWebConfigOption = "metrics-web-config";  // "-metrics-web-config FILE"
inline constexpr const char* FallbackProfileName = "ServiceDefault.qlmd";  // never read: names the log
// The same program linked to load modules, beside it; the static program runs it when it needs one.
inline constexpr const char* ModuleHostName = "quelmondsrvc-modules";

} // namespace quel
