#include "saver/saver_options.h"

#include "saver/saver_texts.h"

#include <filesystem>
#include <system_error>

namespace quel::saver {
namespace {

std::string Limited(const std::string& text)
{
    return text.substr(0, MaxNumberText);
}

bool InPercentRange(int value)
{
    return value >= 1 && value <= 100;
}

} // namespace

SaverSettings SettingsFromTexts(const std::string& profile, const std::string& areaText,
                                const std::string& timeoutText, bool applyAtLogon)
{
    SaverSettings settings;
    settings.profile = profile;
    settings.areaText = Limited(areaText);
    settings.timeoutText = Limited(timeoutText);
    settings.AreaSize = ParseSettingNumber(settings.areaText);
    settings.Timeout = ParseSettingNumber(settings.timeoutText);
    settings.applyAtLogon = applyAtLogon;
    return settings;
}

OptionProblem CheckSaverOptions(const SaverSettings& settings)
{
    std::error_code error;
    if (settings.profile.empty() || !std::filesystem::exists(settings.profile, error))
        return {OptionField::Profile, text::InvalidProfile + settings.profile};
    if (!InPercentRange(settings.AreaSize))
        return {OptionField::AreaSize, text::InvalidArea};
    if (!InPercentRange(settings.Timeout))
        return {OptionField::Timeout, text::InvalidTimeout};
    return {};
}

} // namespace quel::saver
