#pragma once
// The screen saver's settings: the profile it shows, the share of the screen its square takes
// and the seconds between moves. They live in the "Screen Saver" key of the current user; the
// same key in the system hive holds the defaults of every user (written by "Apply the same
// setting for the screensaver at logon"), and the desktop program's most recent profile stands
// in when no profile is chosen.

#include "platform/registry.h"

#include <string>

namespace quel::saver {

inline constexpr const char* SaverKey = "Screen Saver";
inline constexpr int DefaultAreaSize = 40;
inline constexpr int DefaultTimeout = 20;
// The dialog's edits take this many characters; longer stored texts are cut to it.
inline constexpr std::size_t MaxNumberText = 23;

struct SaverSettings {
    std::string profile;
    std::string areaText;     // "AreaSize" as stored or typed ("040" stays "040")
    std::string timeoutText;  // "Timeout" as stored or typed
    int AreaSize = 0;         // percentage of the screen area; 0 means unset
    int Timeout = 0;          // seconds between moves; 0 means unset
    bool applyAtLogon = false;
};

// The number a text of the dialog or the settings file stands for: leading blanks, a sign and
// the digits up to the first other character; 0 when there are none.
int ParseSettingNumber(const std::string& text);

// Reads the settings (cleared first): the user's key, else the system's; "Recent File List"
// "File1" of the user when neither gave a profile; AreaSize 40 and Timeout 20 where unset.
// True when a profile path was found.
bool ReadSaverSettings(SaverSettings& settings);

// Writes "Profile", "AreaSize" and "Timeout" into the hive's "Screen Saver" key, creating it when
// missing; false when the settings file cannot be written.
bool WriteSaverSettings(RegistryHive hive, const SaverSettings& settings);

} // namespace quel::saver
