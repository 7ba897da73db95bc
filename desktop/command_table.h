#pragma once
// The desktop program's command table: the one place that knows a command. A row holds the
// command's id, its main-menu text with the mnemonic (the context and tray menus show it
// without), its status-bar prompt, its shortcut key, the handler it runs, when it is enabled,
// for toggles what its check mark shows and for colours the setting and palette it chooses.
// Each command has one action (command_actions.h), made from its row and holding it, which the
// menus (menus.cpp) and the keys share; it runs the command through that row and takes its check
// mark and enabling from it.
//
// Adding a command: give it an id in command_ids.h, add its row to the table in
// command_table.cpp, and put the id where it belongs in the menu layouts in menus.cpp.

#include "desktop/command_ids.h"
#include "desktop/document_dialogs.h"
#include "profile/monitor_settings.h"

#include <cstdint>
#include <span>

namespace quel::desktop {

class CMainFrame;
class CQuellarimondApp;
class CQuellarimondDoc;

// What a handler or a rule works on.
struct CommandContext {
    CQuellarimondApp& app;
    CQuellarimondDoc& document;
    CMainFrame& frame;
};

struct Command;

// Both get the id they run for, so one row can serve several ids (the recent-file entries).
using CommandHandler = void (*)(CommandContext& context, const Command& row, int id);
using CommandRule = bool (*)(const CommandContext& context, int id);

struct Command {
    int id = CmdNone;
    const char* text = "";           // the main menu's text, "&" before the mnemonic
    const char* prompt = "";         // the status-bar prompt; "" for none
    const char* shortcut = "";       // a key sequence such as "Ctrl+N"; "" for none
    CommandHandler run = nullptr;    // null: not available (yet); the item is shown disabled
    CommandRule enabled = nullptr;   // null: enabled whenever it has a handler
    // A toggle shows a check mark: the settings switch it inverts, or a rule for other state.
    std::int32_t MonitorSettings::*setting = nullptr;
    CommandRule checked = nullptr;
    // A colour command: the colour of the settings it chooses and the chooser's palette.
    ColorChoice color {};

    bool Checkable() const { return setting != nullptr || checked != nullptr; }
};

// Every row, in the order of the table.
std::span<const Command> CommandTable();
// The row of an id (the recent-file entries CmdRecentFile + 0..3 share one row); null if none.
const Command* FindCommand(int id);
// Whether a command has a handler at all.
bool IsCommandAvailable(int id);
bool IsCommandEnabled(const Command& command, const CommandContext& context, int id);
bool IsCommandChecked(const Command& command, const CommandContext& context, int id);
// Runs a command through its row; false when it is not enabled.
bool RunCommand(CommandContext& context, const Command& command, int id);

} // namespace quel::desktop
