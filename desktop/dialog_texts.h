#pragma once
// The texts of the desktop program's dialogs: captions, messages and the help contexts of
// their Help buttons.

namespace quel::desktop::text {

// Help contexts of the dialogs' Help buttons: 0x20000 + the dialog's template id.
inline constexpr unsigned DialogHelp = 0x20000;
inline constexpr unsigned WizardTemplate = 106;
inline constexpr unsigned CountersTemplate = 130;
inline constexpr unsigned RemoteHostTemplate = 132;
inline constexpr unsigned PreferencesTemplate = 133;
inline constexpr unsigned LogSettingsTemplate = 146;

// Field exchange
inline constexpr const char* EnterNumber = "Please enter a number.";
inline constexpr const char* EnterInteger = "Please enter an integer.";
inline constexpr const char* EnterIntegerBetween = "Please enter an integer between %1 and %2.";
inline constexpr const char* PositiveRange = "All range values must be positive numbers.";
inline constexpr const char* MaxAboveMin = "Maximal value should be more than minimal value.";
inline constexpr const char* CriticalBetween = "Critical value should be in between of minimal and maximal values.";

// Performance Counters
inline constexpr const char* CountersCaption = "Performance Counters - Quellarimond";
inline constexpr const char* TooManyCounters = "Exceeded maximal number of counters.";
// Followed by the path.
inline constexpr const char* NotACounterPath =
    "This is not a counter path that can be monitored (expected \\Object(Instance)\\Counter or "
    "\\Object\\Counter, optionally preceded by \\\\computer): ";

// Select Counters
inline constexpr const char* BrowserCaption = "Select Counters";
// %1: the computer
inline constexpr const char* CannotReach = "The computer %1 cannot be reached.";
inline constexpr const char* NoRemoteModule =
    "Other computers cannot be read here: the quel_remote module is missing.";
// %1: the computer, while it is being listed
inline constexpr const char* Connecting = "Connecting to %1...";

// New-profile wizard
inline constexpr const char* WizardCaption = "Create Monitoring Profile - Quellarimond Wizard";

// Settings dialogs
inline constexpr const char* PreferencesCaption = "Preferences - Quellarimond";
inline constexpr const char* LogSettingsCaption = "Log Settings - Quellarimond";
inline constexpr const char* RemoteHostCaption = "Monitor Remote Host - Quellarimond";
inline constexpr const char* RemoteHostText =
    "Specify the name or IP address of computer on the network. It will update all counters of "
    "this profile to point to that machine. For switching to the local box leave the field blank.";

} // namespace quel::desktop::text
