#include "desktop/command_actions.h"

#include <QAction>
#include <QWidget>

namespace quel::desktop {

CommandActions::CommandActions(QWidget& owner, Sink onCommand) : onCommand_(std::move(onCommand))
{
    for (const Command& row : CommandTable()) {
        const int count = row.id == CmdRecentFile ? RecentFileCount : 1;
        for (int i = 0; i < count; ++i)
            Add(owner, row, row.id + i);
    }
}

void CommandActions::Add(QWidget& owner, const Command& row, int id)
{
    auto* action = new QAction(QString::fromLatin1(row.text), &owner);
    action->setData(id);
    action->setStatusTip(QString::fromLatin1(row.prompt));
    action->setCheckable(row.Checkable());
    action->setEnabled(row.run != nullptr);
    if (*row.shortcut != '\0') {
        action->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
        action->setShortcutContext(Qt::WindowShortcut);
        owner.addAction(action);  // the key works without a menu shown
    }
    QObject::connect(action, &QAction::triggered, action, [this, &row, id] { onCommand_(row, id); });
    entries_.push_back(Entry {action, &row, id});
}

QAction* CommandActions::Action(int id) const
{
    for (const Entry& entry : entries_) {
        if (entry.id == id)
            return entry.action;
    }
    return nullptr;
}

void CommandActions::UpdateStates(const CommandContext& context) const
{
    for (const Entry& entry : entries_) {
        entry.action->setEnabled(IsCommandEnabled(*entry.row, context, entry.id));
        if (entry.row->Checkable())
            entry.action->setChecked(IsCommandChecked(*entry.row, context, entry.id));
    }
}

} // namespace quel::desktop
