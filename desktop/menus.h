#pragma once
// The three menus of the main frame: the main menu bar, the diagram's context menu and the
// tray menu. Their layouts are here; each action is made from its command's row (see
// command_table.h), carries the command id as data and reports it through onCommand once; its
// status tip is the command's prompt.

#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace quel::desktop {

struct CommandContext;

using CommandSink = std::function<void(int)>;

// The text without mnemonic markers ("&&" stays a literal "&").
QString WithoutMnemonics(const QString& text);

// Fills the menu bar. The recent files are items of the File menu (see UpdateRecentFileItems).
void BuildMainMenu(QMenuBar& bar, const CommandSink& onCommand);
// One popup each, owned by parent.
QMenu* BuildContextMenu(QWidget* parent, const CommandSink& onCommand);
QMenu* BuildTrayMenu(QWidget* parent, const CommandSink& onCommand);

// The action of a command in a menu bar or menu and its submenus; null when absent.
QAction* FindCommandAction(const QWidget& menu, int id);
// Enabling and check marks of every command in a menu and its submenus, from the rows.
void UpdateCommandStates(const QWidget& menu, const CommandContext& context);
// The recent-file items of a menu: "&1 name" with the full path as prompt, one per entry, or the
// disabled placeholder "Recent File" when there is none.
void UpdateRecentFileItems(const QWidget& menu, const QStringList& entries);

} // namespace quel::desktop
