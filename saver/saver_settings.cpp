#include "saver/saver_settings.h"

#include "windrose/number_text.h"

#include <optional>

namespace quel::saver {
namespace {

std::string NumberText(const RegistryKey& key, const char* name)
{
    std::string text;
    if (!key.GetString(name, text))
        return {};
    if (text.size() > MaxNumberText)
        text.resize(MaxNumberText);
    return text;
}

// Reads the three values of one key; true when it held a profile.
bool ReadKey(const RegistryKey& key, SaverSettings& settings)
{
    settings.areaText = NumberText(key, "AreaSize");
    settings.timeoutText = NumberText(key, "Timeout");
    settings.AreaSize = ParseSettingNumber(settings.areaText);
    settings.Timeout = ParseSettingNumber(settings.timeoutText);
    return key.GetString("Profile", settings.profile);
}

} // namespace

int ParseSettingNumber(const std::string& text)
{
    return ReadDecimalInt(text);
}

bool ReadSaverSettings(SaverSettings& settings)
{
    settings = SaverSettings {};
    std::optional<RegistryKey> key = RegistryKey::Open(RegistryHive::CurrentUser, SaverKey);
    if (!key)
        key = RegistryKey::Open(RegistryHive::LogonDefault, SaverKey);
    bool found = key && ReadKey(*key, settings);
    if (!found) {
        settings.profile.clear();
        if (auto recent = RegistryKey::Open(RegistryHive::CurrentUser, "Recent File List"))
            found = recent->GetString("File1", settings.profile);
    }
    if (settings.AreaSize == 0) {
        settings.AreaSize = DefaultAreaSize;
        settings.areaText = std::to_string(DefaultAreaSize);
    }
    if (settings.Timeout == 0) {
        settings.Timeout = DefaultTimeout;
        settings.timeoutText = std::to_string(DefaultTimeout);
    }
    return found;
}

bool WriteSaverSettings(RegistryHive hive, const SaverSettings& settings)
{
    std::optional<RegistryKey> key = RegistryKey::Create(hive, SaverKey);
    if (!key)
        return false;
    return key->SetString("Profile", settings.profile) && key->SetString("AreaSize", settings.areaText) &&
           key->SetString("Timeout", settings.timeoutText);
}

} // namespace quel::saver
