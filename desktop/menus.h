#pragma once
// The three menus of the main frame: the main menu bar, the diagram's context menu and the
// tray menu. Their layouts are here; each item is its command's one action (command_actions.h),
// which carries the command id as data and its prompt as status tip.

#include <QString>
#include <QStringList>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace quel::desktop {

class CommandActions;

// The text without mnemonic markers ("&&" stays a literal "&").
QString WithoutMnemonics(const QString& text);

// Fills the menu bar. The recent files are items of the File menu (see UpdateRecentFileItems).
void BuildMainMenu(QMenuBar& bar, const CommandActions& actions);
// One popup each, owned by parent.
QMenu* BuildContextMenu(QWidget* parent, const CommandActions& actions);
QMenu* BuildTrayMenu(QWidget* parent, const CommandActions& actions);

// The action of a command in a menu bar or menu and its submenus; null when absent.
QAction* FindCommandAction(const QWidget& menu, int id);
// The recent-file items: "&1 name" with the full path as prompt, one per entry, or the disabled
// placeholder "Recent File" when there is none.
void UpdateRecentFileItems(const CommandActions& actions, const QStringList& entries);

} // namespace quel::desktop
