#pragma once
// The per-user "Notify When Critical" switch: "[Settings]" "NotifyCritical" (0 or 1) in the
// user's settings file, not in the profile, so it holds for every profile the user opens.

namespace quel::desktop {

// Off when the value is missing or not "1".
bool ReadNotifyCritical();
// False when the settings file cannot be written.
bool WriteNotifyCritical(bool on);

} // namespace quel::desktop
