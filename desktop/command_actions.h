#pragma once
// CommandActions: one QAction per command of the table (one per recent-file entry), made from
// its row and holding it. The main menu, the context menu and the tray menu show the same
// action, and its key works while the menu bar is hidden, so a check mark or an enabling set
// once shows everywhere.

#include "desktop/command_table.h"

#include <functional>
#include <vector>

class QAction;
class QWidget;

namespace quel::desktop {

class CommandActions {
public:
    using Sink = std::function<void(const Command& row, int id)>;

    // The actions belong to owner, whose window takes their keys.
    CommandActions(QWidget& owner, Sink onCommand);

    // The action of an id; null when there is none.
    QAction* Action(int id) const;
    // Enabling and check marks of every action, from the rows.
    void UpdateStates(const CommandContext& context) const;

private:
    struct Entry {
        QAction* action;
        const Command* row;
        int id;
    };
    void Add(QWidget& owner, const Command& row, int id);

    Sink onCommand_;
    std::vector<Entry> entries_;
};

} // namespace quel::desktop
