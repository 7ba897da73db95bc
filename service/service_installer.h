#pragma once
// Installs and removes the service as a systemd unit, printing what happens on the console.
//
// Overrides for tests, so that they never touch the real system:
//   QUELLARIMOND_UNIT_DIR     folder of the unit file (default /etc/systemd/system)
//   QUELLARIMOND_SYSTEMCTL    the systemctl program (default "systemctl" on PATH)
//   QUELLARIMOND_SYSTEMD_DIR  the folder whose existence means systemd runs (/run/systemd/system)
//   QUELLARIMOND_ASSUME_ROOT  "1" or "0" instead of asking whether we are root
//   QUELLARIMOND_PACKAGE_UNIT_DIR  folder of the unit a package ships (default /lib/systemd/system
//                             and /usr/lib/systemd/system): -install refuses to add a second one

#include <string>

namespace quel {

// Both print what happens; false when the unit could not be installed or removed.
bool InstallService();
bool RemoveService();

// The system's text for errno as "text (0xcode)".
std::string FormatLastError();

} // namespace quel
