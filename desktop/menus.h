#pragma once
// The three menus of the main frame: the main menu bar, the diagram's context menu and the
// tray menu. Every action carries its command id as data and reports it through onCommand; its
// status tip is the command's status-bar prompt.

#include <QString>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace quel::desktop {

using CommandHandler = std::function<void(int)>;

struct CommandInfo {
    int id;
    const char* text;    // main menu text with its mnemonic
    const char* prompt;  // status-bar prompt; empty for none
    bool checkable;
};

// The command table; null for an unknown id.
const CommandInfo* FindCommandInfo(int id);

// The text without mnemonic markers ("&&" stays a literal "&").
QString WithoutMnemonics(const QString& text);

// Fills the menu bar; recentFiles receives the File > Recent File submenu.
void BuildMainMenu(QMenuBar& bar, const CommandHandler& onCommand, QMenu*& recentFiles);
// One popup each, owned by parent.
QMenu* BuildContextMenu(QWidget* parent, const CommandHandler& onCommand);
QMenu* BuildTrayMenu(QWidget* parent, const CommandHandler& onCommand);

// The action of a command in a menu bar or menu and its submenus; null when absent.
QAction* FindCommandAction(const QWidget& menu, int id);
// Sets a checkable command's check mark, when the menu has it.
void SetCommandChecked(const QWidget& menu, int id, bool checked);
// Whether a command is enabled at all (commands whose dialogs do not exist yet are not).
bool IsCommandAvailable(int id);

} // namespace quel::desktop
