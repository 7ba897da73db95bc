#pragma once
// The screen saver's own texts.

namespace quel::saver::text {

inline constexpr const char* AppName = "Quellarimond";  // caption of the message boxes
inline constexpr const char* DialogTitle = "Screensaver Options for Quellarimond";
inline constexpr const char* VersionLine = "Version " QUEL_VERSION " released on November 24, 2006";
inline constexpr const char* ProfileGroup = "Use Profile";
inline constexpr const char* Browse = "Browse...";
inline constexpr const char* SettingsGroup = "Settings";
inline constexpr const char* AreaLabel = "Percentage of screen area used by graph (1-100):";
inline constexpr const char* TimeoutLabel = "Time interval in seconds for changing position (1-100):";
inline constexpr const char* ApplyAtLogon = "Apply the same setting for the screensaver at logon";

// followed by the path
inline constexpr const char* InvalidProfile = "Invalid path for the profile:\n";
inline constexpr const char* InvalidArea = "Graph gArea should be between 1 and 100 percent.";
inline constexpr const char* InvalidTimeout = "Time interval should be between 1 and 100 seconds.";
// followed by a path
inline constexpr const char* CannotWrite = "Cannot write to file: ";
// %1: the system settings file
inline constexpr const char* LogonNeedsAdmin =
    "Administrator rights are needed to apply the setting for the screensaver at logon: %1 cannot be "
    "written. Your own setting has been saved.";

} // namespace quel::saver::text
