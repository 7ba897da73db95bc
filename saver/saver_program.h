#pragma once
// The saver's three ways to run, each on the running QApplication: full screen on every screen,
// drawn into a foreign X11 window, or the configuration dialog. Each returns the exit status.

#include "saver/saver_command_line.h"

#include <iosfwd>

namespace quel::saver {

// Messages of the foreign-window mode go to err in one line each.
int RunSaver(const SaverCommand& command, std::ostream& err);

// The line the foreign-window modes give where they cannot work (Wayland).
inline constexpr const char* NeedsX11 =
    "quelmond: -p, --window-id and --root draw into an X11 window and need an X11 session; "
    "under Wayland use quelmond -s";

} // namespace quel::saver
