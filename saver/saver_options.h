#pragma once
// The checks of the configuration dialog's OK, in their order: the profile path, the area, the
// interval. A failed check names the field that gets the focus and the message to show.

#include "saver/saver_settings.h"

#include <string>

namespace quel::saver {

enum class OptionField {
    None,
    Profile,
    AreaSize,
    Timeout,
};

struct OptionProblem {
    OptionField field = OptionField::None;
    std::string message;
};

// A record as the dialog's texts give it: the numbers parsed, the texts kept as typed.
SaverSettings SettingsFromTexts(const std::string& profile, const std::string& areaText,
                                const std::string& timeoutText, bool applyAtLogon);

// The profile must name an existing file or folder; AreaSize and Timeout must be within 1..100.
OptionProblem CheckSaverOptions(const SaverSettings& settings);

} // namespace quel::saver
