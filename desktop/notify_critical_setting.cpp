#include "desktop/notify_critical_setting.h"

#include "platform/registry.h"

#include <string>

namespace quel::desktop {

namespace {

constexpr const char* SettingsKey = "Settings";
constexpr const char* NotifyCriticalValue = "NotifyCritical";

} // namespace

bool ReadNotifyCritical()
{
    std::string stored;
    const std::optional<RegistryKey> key = RegistryKey::Open(RegistryHive::CurrentUser, SettingsKey);
    return key && key->GetString(NotifyCriticalValue, stored) && stored == "1";
}

bool WriteNotifyCritical(bool on)
{
    std::optional<RegistryKey> key = RegistryKey::Create(RegistryHive::CurrentUser, SettingsKey);
    return key && key->SetString(NotifyCriticalValue, on ? "1" : "0");
}

} // namespace quel::desktop
