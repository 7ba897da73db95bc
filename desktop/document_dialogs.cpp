#include "desktop/document_dialogs.h"

#include "desktop/counters_dlg.h"
#include "desktop/dialog_host.h"
#include "desktop/log_settings_dlg.h"
#include "desktop/native_path.h"
#include "desktop/new_profile_wizard.h"
#include "desktop/page_opener.h"
#include "desktop/preferences_dlg.h"
#include "desktop/quellarimond_doc.h"
#include "desktop/remote_host_dlg.h"
#include "desktop/string_table.h"
#include "gui/qt_color.h"

namespace quel::desktop {

CustomColors CustomColorsFor(ColorPalette palette)
{
    CustomColors colors;
    for (int i = 0; i < static_cast<int>(colors.size()); ++i) {
        const int v = 255 - 4 * i;
        QColor& color = colors[static_cast<std::size_t>(i)];
        switch (palette) {
        case ColorPalette::Cyan:
            color = QColor(0, v, v);
            break;
        case ColorPalette::Green:
            color = QColor(0, v, 0);
            break;
        case ColorPalette::Yellow:
            color = QColor(v, v, 0);
            break;
        case ColorPalette::Red:
            color = QColor(v, 0, 0);
            break;
        case ColorPalette::Grey:
            color = QColor(v, v, v);
            break;
        }
    }
    return colors;
}

bool ChooseSettingColor(Prompt& prompt, CQuellarimondDoc& document, const ColorChoice& choice)
{
    if (choice.field == nullptr)
        return false;
    const QColor initial = ToQColor(document.GetMonitor().GetSettings().*choice.field);
    const std::optional<QColor> chosen = prompt.ChooseColor(initial, CustomColorsFor(choice.palette));
    if (!chosen)
        return false;
    document.SetSettingColor(choice.field, *chosen);
    return true;
}

void RunNewProfileWizard(DialogHost& app, CQuellarimondDoc& document, QWidget* parent)
{
    CNewProfileWizard wizard(app, document, parent);
    if (app.RunDialog(wizard) == CNewProfileWizard::CountersResult)
        RunCountersDialog(app, document, parent);
}

void RunCountersDialog(DialogHost& app, CQuellarimondDoc& document, QWidget* parent)
{
    CCountersDlg dialog(app, document, parent);
    if (app.RunDialog(dialog) == QDialog::Accepted) {
        dialog.ApplyToMonitor();
        document.RefreshViews();
    }
    document.NoteWindRoseChanges();
}

void RunPreferencesDialog(DialogHost& app, CQuellarimondDoc& document, QWidget* parent)
{
    CPreferencesDlg dialog(app, document, parent);
    if (app.RunDialog(dialog) == QDialog::Accepted)
        document.RefreshViews();
    document.NoteWindRoseChanges();
}

void RunLogSettingsDialog(DialogHost& app, CQuellarimondDoc& document, QWidget* parent)
{
    const MonitorSettings settings = document.GetMonitor().GetSettings();
    CLogSettingsDlg dialog(app, parent);
    dialog.SetValues(settings.LogMode, settings.LogFormat, settings.LogFileSize);
    if (app.RunDialog(dialog) == QDialog::Accepted)
        document.ApplyLogSettings(dialog.LogMode(), dialog.LogFormat(), dialog.FileSize());
}

void RunConnectToDialog(DialogHost& app, CQuellarimondDoc& document, QWidget* parent)
{
    CRemoteHostDlg dialog(app, parent);
    if (app.RunDialog(dialog) == QDialog::Accepted)
        document.RetargetCounters(dialog.ComputerName());
}

void ViewLog(DialogHost& app, CQuellarimondDoc& document, QWidget* parent)
{
    const CounterMonitor& monitor = document.GetMonitor();
    if (monitor.GetSettings().LogMode == 0) {
        if (app.GetPrompt().Question(QString::fromLatin1(text::LoggingOff), true) == Answer::Yes)
            RunLogSettingsDialog(app, document, parent);
    }
    if (monitor.GetSettings().LogMode == 0)
        return;
    const std::string log = monitor.GetLogPath();
    if (!log.empty())
        OpenPage(app.GetShell(), app.GetPrompt(), FromNative(log));
}

} // namespace quel::desktop
