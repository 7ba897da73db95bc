#pragma once
// The screen saver's command line:
//   -s                      full screen on every screen, until a key, a click or a movement
//   -p ID                   preview inside the X11 window ID
//   -c                      the configuration dialog (also without arguments)
//   --root, -root           draw into $XSCREENSAVER_WINDOW, else the root window (XScreenSaver)
//   --window-id ID, -window-id ID
//                           draw into the X11 window ID; wins over --root
//   -h, --help, --version   the usage or the version on stdout
// A window ID is decimal or hexadecimal with "0x". Without arguments but with
// $XSCREENSAVER_WINDOW set, the saver draws into that window.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quel::saver {

enum class SaverMode {
    Configure,
    FullScreen,
    ForeignWindow,  // preview, --window-id, --root
    Help,
    Version,
    Error,
};

struct SaverCommand {
    SaverMode mode = SaverMode::Configure;
    // ForeignWindow: the window to draw into; none means the root window.
    std::optional<std::uint32_t> window;
    std::string error;  // Error: what is wrong, in one line
};

inline constexpr const char* SaverUsage =
    "Usage: quelmond [-s | -p ID | -c | --root | --window-id ID]\n"
    "  -s               full screen on every screen; a key, a click or a mouse movement ends it\n"
    "  -p ID            preview inside the X11 window ID\n"
    "  -c               the configuration dialog (the default)\n"
    "  --root, -root    draw into $XSCREENSAVER_WINDOW, else into the root window (XScreenSaver)\n"
    "  --window-id ID   draw into the X11 window ID (decimal or 0x...); wins over --root\n"
    "  -h, --help       show this help\n"
    "  --version        show the version\n"
    "The saver ends on SIGTERM and when the window it draws into goes away.\n";

// A window ID: decimal, or hexadecimal after "0x"; none for anything else, 0 included.
std::optional<std::uint32_t> ParseWindowId(const std::string& text);

// xscreensaverWindow: the value of $XSCREENSAVER_WINDOW (empty when unset).
SaverCommand ParseSaverCommandLine(const std::vector<std::string>& arguments,
                                   const std::string& xscreensaverWindow);

} // namespace quel::saver
