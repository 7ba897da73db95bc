#pragma once
// The user-visible texts of the desktop program.

namespace quel::desktop::text {

inline constexpr const char* AppName = "Quellarimond";  // caption of every message box
inline constexpr const char* ProfileFilter = "Quellarimond Profiles (*.qlmd);;All Files (*)";
inline constexpr const char* ProfileExtension = ".qlmd";
inline constexpr const char* LogFilter = "Quellarimond Logs (*.html *.csv);;All Files (*)";
inline constexpr const char* Untitled = "Untitled";
inline constexpr const char* SaveChanges = "Save changes to %1?";
inline constexpr const char* Ready = "Ready";
inline constexpr const char* Loading = "Loading...";

// 61210
inline constexpr const char* CannotStop =
    "Cannot stop counter collecting process. The most possible reason is the slowness of the "
    "network during connection to the remote machine. Please try to update the data later.";
// 61214, followed by a path
inline constexpr const char* CannotRead = "Cannot read file: ";
// 61217, followed by a path
inline constexpr const char* CannotWrite = "Cannot write to file: ";
// followed by the path of a page or log that exists but that no program opens
inline constexpr const char* NoProgramToOpen = "No program is set up to open ";
// 62001
inline constexpr const char* LoggingOff = "Logging is turned off. Would you like to change log options?";

inline constexpr const char* AboutCaption = "About Quellarimond";
inline constexpr const char* VersionLine = "Version " QUEL_VERSION " - November 24, 2006";

} // namespace quel::desktop::text
