#pragma once
// The user's XScreenSaver preferences (~/.xscreensaver) as far as the System Configuration
// Options dialog reads and edits them: whether the screen saver is quelmond ("mode: one" with the
// selected entry of "programs:" running quelmond), selecting it (adding its entry when absent),
// and the blank screen ("mode: blank"). Every other line is kept byte for byte, and the file is
// replaced as XScreenSaver replaces it: a temporary file renamed over it.
//
// The file holds X resources, "name:<blanks>value", a value going on over the next line while a
// line ends with a backslash. The value of "programs:" is a list of entries separated by "\n"
// (backslash, n), each "[-][visual:] ["Label"] command"; "selected:" counts its entries from 0.

#include <optional>
#include <string>
#include <string_view>

namespace quel::desktop {

inline constexpr const char* SaverProgramName = "quelmond";
// The entry added to "programs:" (XScreenSaver passes the window in $XSCREENSAVER_WINDOW).
inline constexpr const char* SaverProgramEntry = "\"Quellarimond\"  quelmond --root";

// ~/.xscreensaver; empty without HOME.
std::string XScreenSaverFile();

bool SelectsQuelmond(std::string_view prefs);
// prefs with quelmond selected; from an empty text, a minimal preferences file.
std::string WithQuelmondSelected(std::string_view prefs);
std::string WithBlankMode(std::string_view prefs);

// The file's text; none when it does not exist. error is set (and none returned) when it exists
// but cannot be read.
std::optional<std::string> ReadPrefsFile(const std::string& path, std::string& error);

// Selects quelmond (use) or the blank screen in the file, creating it when missing; false with
// error set when it cannot be read or written (the file is then as it was).
bool WriteUserSaver(const std::string& path, bool use, std::string& error);

} // namespace quel::desktop
