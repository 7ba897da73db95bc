#pragma once
// The dialogs the commands run on the document: each runs its dialog (or chooser) over the main
// window and hands what the user chose to the document, which knows no window.

#include "desktop/prompt.h"
#include "profile/monitor_settings.h"

#include <cstdint>

class QWidget;

namespace quel::desktop {

class DialogHost;
class CQuellarimondDoc;

// The custom colours a colour chooser offers: gradients for the lines, greys for the rest.
enum class ColorPalette { Cyan, Green, Yellow, Red, Grey };

// A colour of the settings and the palette its chooser offers.
struct ColorChoice {
    std::int32_t MonitorSettings::*field = nullptr;
    ColorPalette palette = ColorPalette::Grey;
};

// The chooser's 16 custom colours of a palette.
CustomColors CustomColorsFor(ColorPalette palette);

// The colour chooser for one colour of the settings; true when a colour was taken.
bool ChooseSettingColor(Prompt& prompt, CQuellarimondDoc& document, const ColorChoice& choice);

// The new-profile wizard; when it ends with "Counters...", the counters dialog follows.
void RunNewProfileWizard(DialogHost& app, CQuellarimondDoc& document, QWidget* parent);
// The counters dialog; on OK its list is carried into the monitor. Either way a modified wind
// rose marks the document modified.
void RunCountersDialog(DialogHost& app, CQuellarimondDoc& document, QWidget* parent);
// The preferences dialog, with the same modified rule.
void RunPreferencesDialog(DialogHost& app, CQuellarimondDoc& document, QWidget* parent);
// The log settings dialog; on OK its values go into the settings.
void RunLogSettingsDialog(DialogHost& app, CQuellarimondDoc& document, QWidget* parent);
// The remote host dialog, then every counter is pointed at the computer entered.
void RunConnectToDialog(DialogHost& app, CQuellarimondDoc& document, QWidget* parent);
// Opens the log in the browser; while logging is off, offers the log settings first.
void ViewLog(DialogHost& app, CQuellarimondDoc& document, QWidget* parent);

} // namespace quel::desktop
