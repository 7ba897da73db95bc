#include "desktop/menus.h"

#include "desktop/command_ids.h"
#include "desktop/command_table.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include <initializer_list>

namespace quel::desktop {

namespace {

enum class Style {
    Main,       // the main menu's texts with mnemonics and shortcut hints
    Plain,      // without mnemonics (context and tray menus)
};

constexpr int Separator = 0;

QAction* AddCommand(QMenu& menu, int id, Style style, const CommandSink& onCommand)
{
    const Command& command = *FindCommand(id);
    QString text = QString::fromLatin1(command.text);
    if (style == Style::Plain)
        text = WithoutMnemonics(text);
    else if (*command.shortcut != '\0')
        text += QLatin1Char('\t') + QString::fromLatin1(command.shortcut);
    QAction* action = menu.addAction(text);
    action->setData(id);
    action->setStatusTip(QString::fromLatin1(command.prompt));
    action->setCheckable(command.Checkable());
    action->setEnabled(IsCommandAvailable(id));
    QObject::connect(action, &QAction::triggered, action, [onCommand, id] { onCommand(id); });
    return action;
}

// One item per possible entry; UpdateRecentFileItems fills them in.
void AddRecentFileItems(QMenu& menu, const CommandSink& onCommand)
{
    for (int i = 0; i < RecentFileCount; ++i)
        AddCommand(menu, CmdRecentFile + i, Style::Main, onCommand)->setVisible(i == 0);
}

void AddItems(QMenu& menu, std::initializer_list<int> items, Style style, const CommandSink& onCommand)
{
    for (int id : items) {
        if (id == Separator)
            menu.addSeparator();
        else if (id == CmdRecentFile)
            AddRecentFileItems(menu, onCommand);
        else
            AddCommand(menu, id, style, onCommand);
    }
}

// The five display submenus, shared by the main and the context menu.
void AddDisplaySubmenus(QMenu& menu, Style style, const CommandSink& onCommand)
{
    const bool main = style == Style::Main;
    struct Sub {
        const char* mainTitle;
        const char* plainTitle;
        std::initializer_list<int> items;
    };
    const Sub subs[] = {
        {"Display &Labels", "Display &Labels", {CmdShowNames, CmdShowValues, CmdShowNumbers}},
        {"&Current Line", "Current Line", {CmdShowCurrent, CmdBoldCurrent, CmdColorCurrent}},
        {"&Average Line", "Average Line", {CmdShowAverage, CmdBoldAverage, CmdColorAverage}},
        {"&Maximal Line", "Maximal Line", {CmdShowMax, CmdBoldMax, CmdColorMax}},
        {"&Diagram", "Diagram", {CmdBackColor, CmdTextColor, CmdLinesColor, CmdCriticalColor, CmdBoldCritical}},
    };
    for (const Sub& sub : subs) {
        QMenu* submenu = menu.addMenu(QString::fromLatin1(main ? sub.mainTitle : sub.plainTitle));
        AddItems(*submenu, sub.items, style, onCommand);
    }
}

template <typename Visit>
QAction* VisitActions(const QWidget& menu, const Visit& visit)
{
    for (QAction* action : menu.actions()) {
        if (visit(action))
            return action;
        if (QMenu* submenu = action->menu()) {
            if (QAction* found = VisitActions(*submenu, visit))
                return found;
        }
    }
    return nullptr;
}

} // namespace

QString WithoutMnemonics(const QString& text)
{
    QString result;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;  // "&x" shows x; "&&" shows "&"
        }
        result += text[i];
    }
    return result;
}

void BuildMainMenu(QMenuBar& bar, const CommandSink& onCommand)
{
    const Style style = Style::Main;
    QMenu* file = bar.addMenu(QStringLiteral("&File"));
    AddItems(*file,
             {CmdFileNew, CmdFileOpen, CmdFileOpenLog, CmdFileSave, CmdFileSaveAs, Separator, CmdViewLog, CmdCleanLog,
              CmdLogSettings, Separator, CmdResetMax, CmdRestart, Separator, CmdRecentFile, Separator, CmdAppExit},
             style, onCommand);

    QMenu* options = bar.addMenu(QStringLiteral("&Options"));
    AddItems(*options, {CmdCaption, CmdEnableTray, CmdAlwaysOnTop, CmdStatusBar, Separator}, style, onCommand);
    AddDisplaySubmenus(*options, style, onCommand);
    AddItems(*options, {Separator, CmdConnectTo, Separator, CmdCounters, CmdPreferences, CmdSystem}, style,
             onCommand);

    QMenu* help = bar.addMenu(QStringLiteral("&Help"));
    AddItems(*help, {CmdHelpContents, CmdAppAbout}, style, onCommand);
}

QMenu* BuildContextMenu(QWidget* parent, const CommandSink& onCommand)
{
    const Style style = Style::Plain;
    auto* menu = new QMenu(parent);
    AddItems(*menu, {CmdCaption, CmdEnableTray, CmdAlwaysOnTop, Separator}, style, onCommand);
    AddDisplaySubmenus(*menu, style, onCommand);
    AddItems(*menu,
             {Separator, CmdCounters, CmdConnectTo, CmdPreferences, Separator, CmdViewLog, CmdCleanLog,
              CmdLogSettings, Separator, CmdResetMax, CmdRestart, CmdMinimize, CmdAppExit},
             style, onCommand);
    return menu;
}

QMenu* BuildTrayMenu(QWidget* parent, const CommandSink& onCommand)
{
    const Style style = Style::Plain;
    auto* menu = new QMenu(parent);
    AddItems(*menu, {CmdTrayRestore, CmdTrayMinimize, Separator, CmdAppAbout, CmdAppExit}, style, onCommand);
    return menu;
}

QAction* FindCommandAction(const QWidget& menu, int id)
{
    return VisitActions(menu, [id](QAction* action) { return action->data().toInt() == id && id != 0; });
}

void UpdateCommandStates(const QWidget& menu, const CommandContext& context)
{
    VisitActions(menu, [&context](QAction* action) {
        const int id = action->data().toInt();
        if (const Command* command = id != 0 ? FindCommand(id) : nullptr) {
            action->setEnabled(IsCommandEnabled(*command, context, id));
            if (command->Checkable())
                action->setChecked(IsCommandChecked(*command, context, id));
        }
        return false;
    });
}

void UpdateRecentFileItems(const QWidget& menu, const QStringList& entries)
{
    for (int i = 0; i < RecentFileCount; ++i) {
        QAction* action = FindCommandAction(menu, CmdRecentFile + i);
        if (action == nullptr)
            continue;
        const bool listed = i < entries.size();
        if (listed) {
            QString name = QFileInfo(entries[i]).fileName();
            name.replace(QLatin1Char('&'), QLatin1String("&&"));
            action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(name));
            action->setStatusTip(entries[i]);
        } else if (i == 0) {
            action->setText(QString::fromLatin1(FindCommand(CmdRecentFile)->text));
            action->setStatusTip(QString());
        }
        action->setVisible(listed || i == 0);
        action->setEnabled(listed);
    }
}

} // namespace quel::desktop
