#include "desktop/command_table.h"

#include "desktop/critical_notifier.h"
#include "desktop/history_controller.h"
#include "desktop/main_frame.h"
#include "desktop/quellarimond_app.h"
#include "desktop/quellarimond_doc.h"
#include "desktop/system_config_dialog.h"

#include <QStatusBar>

#include <array>

namespace quel::desktop {

namespace {

// --- handlers and rules shared by several rows ----------------------------------------------

void ToggleSwitch(CommandContext& c, const Command& row, int)
{
    c.frame.ToggleSetting(row.setting);
}

template <int (WindRose::*Get)() const, void (WindRose::*Set)(int)>
void ToggleLabel(CommandContext& c, const Command&, int)
{
    c.frame.ToggleLabel(Get, Set);
}

template <int (WindRose::*Get)() const>
bool LabelShown(const CommandContext& c, int)
{
    return (c.document.GetMonitor().*Get)() != 0;
}

void ChooseColor(CommandContext& c, const Command& row, int)
{
    ChooseSettingColor(c.app.GetPrompt(), c.document, row.color);
}

template <void (*Run)(DialogHost&, CQuellarimondDoc&, QWidget*)>
void DialogCommand(CommandContext& c, const Command&, int)
{
    Run(c.app, c.document, &c.frame);
}

bool WindowVisible(const CommandContext& c, int)
{
    return c.frame.isVisible();
}

bool WindowHidden(const CommandContext& c, int)
{
    return !c.frame.isVisible();
}

// The row of the recent files serves the ids CmdRecentFile + index.
void OpenRecentFile(CommandContext& c, const Command&, int id)
{
    c.app.OnOpenRecentFile(id - CmdRecentFile);
}

bool HasRecentFile(const CommandContext& c, int id)
{
    return id - CmdRecentFile < c.app.RecentFiles().Entries().size();
}

// --- the table ------------------------------------------------------------------------------
// A new command is one more row: its id (command_ids.h), texts, prompt, and its handler; add
// an enable rule when it is not always enabled, and for a toggle the setting it shows. Then put
// the id into the menu layouts in menus.cpp. A row without a handler shows a disabled item.

constexpr std::array Commands = {
    // File menu
    Command {.id = CmdFileNew, .text = "&New...", .prompt = "Create a new document", .shortcut = "Ctrl+N",
             .run = [](CommandContext& c, const Command&, int) { c.app.OnFileNew(); }},
    Command {.id = CmdFileOpen, .text = "&Open...", .prompt = "Open an existing document", .shortcut = "Ctrl+O",
             .run = [](CommandContext& c, const Command&, int) { c.app.OnFileOpen(); }},
    Command {.id = CmdFileOpenLog, .text = "Open Lo&g...", .prompt = "Open a log as history",
             .run = [](CommandContext& c, const Command&, int) { c.frame.History().OnOpenLog(); }},
    Command {.id = CmdFileSave, .text = "&Save", .prompt = "Save the active document", .shortcut = "Ctrl+S",
             .run = [](CommandContext& c, const Command&, int) { c.app.OnFileSave(); }},
    Command {.id = CmdFileSaveAs, .text = "Save &As...", .prompt = "Save the active document with a new name",
             .run = [](CommandContext& c, const Command&, int) { c.app.OnFileSaveAs(); }},
    Command {.id = CmdViewLog, .text = "&View Log...", .prompt = "Display logging data",
             .run = DialogCommand<ViewLog>},
    Command {.id = CmdCleanLog, .text = "&Clean Log", .prompt = "Reset logging data",
             .run = [](CommandContext& c, const Command&, int) { c.document.OnCleanLog(); }},
    Command {.id = CmdLogSettings, .text = "&Log Settings...", .prompt = "Set logging options",
             .run = DialogCommand<RunLogSettingsDialog>},
    Command {.id = CmdResetMax, .text = "Reset &Max", .prompt = "Set to zero all max values",
             .run = [](CommandContext& c, const Command&, int) { c.document.OnResetMax(); }},
    Command {.id = CmdRestart, .text = "&Restart", .prompt = "Bounce counters",
             .run = [](CommandContext& c, const Command&, int) { c.document.OnRestart(); }},
    // The text is that of the placeholder shown while the list is empty; the entries show
    // their file names, with the full path as prompt.
    Command {.id = CmdRecentFile, .text = "Recent File", .run = OpenRecentFile, .enabled = HasRecentFile},
    Command {.id = CmdAppExit, .text = "E&xit", .prompt = "Quit the application",
             .run = [](CommandContext& c, const Command&, int) { c.app.OnAppExit(); }},

    // Options menu
    Command {.id = CmdCaption, .text = "&Window Caption", .prompt = "Display window title",
             .run = [](CommandContext& c, const Command&, int) { c.frame.ToggleCaption(); },
             .setting = &MonitorSettings::Caption},
    Command {.id = CmdEnableTray, .text = "Enable In Tray", .prompt = "Creates an icon in the system tray",
             .run = [](CommandContext& c, const Command& row,
                       int) { c.frame.ShowTrayIcon(c.frame.ToggleSetting(row.setting) != 0); },
             .setting = &MonitorSettings::EnableTray},
    Command {.id = CmdAlwaysOnTop, .text = "Always On &Top", .prompt = "Make this window on top of the others",
             .run = [](CommandContext& c, const Command& row,
                       int) { c.frame.SetTopmost(c.frame.ToggleSetting(row.setting) != 0); },
             .setting = &MonitorSettings::AlwaysOntop},
    Command {.id = CmdStatusBar, .text = "Stat&us Bar", .prompt = "Show or hide the status bar",
             .run = [](CommandContext& c, const Command&, int) { c.frame.ToggleStatusBar(); },
             .checked = [](const CommandContext& c, int) { return !c.frame.statusBar()->isHidden(); }},
    Command {.id = CmdNotifyCritical, .text = "Notify When C&ritical",
             .prompt = "Show a notification when a counter turns critical",
             .run = [](CommandContext& c, const Command&,
                       int) { c.frame.Notifier().SetEnabled(!c.frame.Notifier().Enabled()); },
             .checked = [](const CommandContext& c, int) { return c.frame.Notifier().Enabled(); }},
    Command {.id = CmdShowNames, .text = "&Names", .prompt = "Display axes names on the diagram",
             .run = ToggleLabel<&WindRose::GetShowNames, &WindRose::SetShowNames>,
             .checked = LabelShown<&WindRose::GetShowNames>},
    Command {.id = CmdShowValues, .text = "&Values", .prompt = "Display current values on the diagram",
             .run = ToggleLabel<&WindRose::GetShowValues, &WindRose::SetShowValues>,
             .checked = LabelShown<&WindRose::GetShowValues>},
    Command {.id = CmdShowNumbers, .text = "Num&bers", .prompt = "Assign numbers to each axis",
             .run = ToggleLabel<&WindRose::GetShowNumbers, &WindRose::SetShowNumbers>,
             .checked = LabelShown<&WindRose::GetShowNumbers>},
    Command {.id = CmdShowCurrent, .text = "&Show", .prompt = "Draw current values on the graph",
             .run = ToggleSwitch, .setting = &MonitorSettings::ShowCurrent},
    Command {.id = CmdBoldCurrent, .text = "&Bold", .prompt = "Draw current values in bold", .run = ToggleSwitch,
             .setting = &MonitorSettings::BoldCur},
    Command {.id = CmdColorCurrent, .text = "&Color...", .prompt = "Select color for current values",
             .run = ChooseColor,
             .color = {&MonitorSettings::CurColor, ColorPalette::Yellow}},
    Command {.id = CmdShowAverage, .text = "&Show", .prompt = "Draw average values on the graph",
             .run = ToggleSwitch, .setting = &MonitorSettings::ShowAverage},
    Command {.id = CmdBoldAverage, .text = "&Bold", .prompt = "Draw average values in bold", .run = ToggleSwitch,
             .setting = &MonitorSettings::BoldAvg},
    Command {.id = CmdColorAverage, .text = "&Color...", .prompt = "Select color for average values",
             .run = ChooseColor,
             .color = {&MonitorSettings::AvgColor, ColorPalette::Green}},
    Command {.id = CmdShowMax, .text = "&Show", .prompt = "Draw max values on the graph", .run = ToggleSwitch,
             .setting = &MonitorSettings::ShowMax},
    Command {.id = CmdBoldMax, .text = "&Bold", .prompt = "Draw max values in bold", .run = ToggleSwitch,
             .setting = &MonitorSettings::BoldMax},
    Command {.id = CmdColorMax, .text = "&Color...", .prompt = "Select color for max values",
             .run = ChooseColor,
             .color = {&MonitorSettings::MaxColor, ColorPalette::Cyan}},
    Command {.id = CmdBackColor, .text = "&Background...", .prompt = "Change background color",
             .run = ChooseColor,
             .color = {&MonitorSettings::BackColor, ColorPalette::Grey}},
    Command {.id = CmdTextColor, .text = "&Text Color...", .prompt = "Change text color",
             .run = ChooseColor,
             .color = {&MonitorSettings::TextColor, ColorPalette::Grey}},
    Command {.id = CmdLinesColor, .text = "&Lines Color...", .prompt = "Change color of axis lines",
             .run = ChooseColor,
             .color = {&MonitorSettings::LineColor, ColorPalette::Grey}},
    Command {.id = CmdCriticalColor, .text = "&Critical Color...", .prompt = "Change color of critical border line",
             .run = ChooseColor,
             .color = {&MonitorSettings::CritColor, ColorPalette::Red}},
    Command {.id = CmdBoldCritical, .text = "B&old Critical Line", .prompt = "Make critical border line bold",
             .run = ToggleSwitch, .setting = &MonitorSettings::BoldCrit},
    Command {.id = CmdConnectTo, .text = "Co&nnect to...", .prompt = "Connect to remote computer",
             .run = DialogCommand<RunConnectToDialog>},
    Command {.id = CmdCounters, .text = "C&ounters...", .prompt = "Add/update/delete counters",
             .run = DialogCommand<RunCountersDialog>},
    Command {.id = CmdPreferences, .text = "&Preferences...",
             .prompt = "Specify diagram charcteristics like grid step, etc.",
             .run = DialogCommand<RunPreferencesDialog>},
    Command {.id = CmdSystem, .text = "&System...", .prompt = "Screensaver and service options",
             .run = [](CommandContext& c, const Command&, int) { RunSystemConfig(&c.frame, c.app.GetPrompt()); }},

    // Help menu
    Command {.id = CmdHelpContents, .text = "&Contents", .prompt = "Show help topics",
             .run = [](CommandContext& c, const Command&, int) { c.app.OnHelpContents(); }},
    Command {.id = CmdAppAbout, .text = "&About...",
             .prompt = "Display program information, version number and copyright",
             .run = [](CommandContext& c, const Command&, int) { c.app.OnAppAbout(); }},

    // Context and tray menus
    Command {.id = CmdMinimize, .text = "Minimize",
             // Goes the way of every minimise: into the tray when that is enabled.
             .run = [](CommandContext& c, const Command&, int) {
                 QMetaObject::invokeMethod(&c.frame, &QWidget::showMinimized, Qt::QueuedConnection);
             }},
    Command {.id = CmdTrayRestore, .text = "Restore",
             .run = [](CommandContext& c, const Command&, int) { c.frame.RestoreFromTray(); },
             .enabled = WindowHidden},
    Command {.id = CmdTrayMinimize, .text = "Minimize",
             .run = [](CommandContext& c, const Command&, int) { c.frame.HideToTray(); },
             .enabled = WindowVisible},
};

} // namespace

std::span<const Command> CommandTable()
{
    return Commands;
}

const Command* FindCommand(int id)
{
    if (id > CmdRecentFile && id < CmdRecentFile + RecentFileCount)
        id = CmdRecentFile;
    for (const Command& command : Commands) {
        if (command.id == id)
            return &command;
    }
    return nullptr;
}

bool IsCommandAvailable(int id)
{
    const Command* command = FindCommand(id);
    return command != nullptr && command->run != nullptr;
}

bool IsCommandEnabled(const Command& command, const CommandContext& context, int id)
{
    return command.run != nullptr && (command.enabled == nullptr || command.enabled(context, id));
}

bool IsCommandChecked(const Command& command, const CommandContext& context, int id)
{
    if (command.setting != nullptr)
        return context.document.GetMonitor().GetSettings().*command.setting != 0;
    return command.checked != nullptr && command.checked(context, id);
}

bool RunCommand(CommandContext& context, const Command& command, int id)
{
    if (!IsCommandEnabled(command, context, id))
        return false;
    command.run(context, command, id);
    return true;
}

} // namespace quel::desktop
