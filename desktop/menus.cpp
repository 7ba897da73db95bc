#include "desktop/menus.h"

#include "desktop/command_actions.h"
#include "desktop/command_ids.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include <initializer_list>

namespace quel::desktop {

namespace {

enum class Style {
    Main,       // the main menu's submenu titles with mnemonics
    Plain,      // without (the context menu)
};

constexpr int Separator = 0;

void AddItems(QMenu& menu, std::initializer_list<int> items, const CommandActions& actions)
{
    for (int id : items) {
        if (id == Separator) {
            menu.addSeparator();
            continue;
        }
        // The recent files: one item per possible entry; UpdateRecentFileItems fills them in.
        const int count = id == CmdRecentFile ? RecentFileCount : 1;
        for (int i = 0; i < count; ++i)
            menu.addAction(actions.Action(id + i));
    }
}

// The five display submenus, shared by the main and the context menu.
void AddDisplaySubmenus(QMenu& menu, Style style, const CommandActions& actions)
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
        AddItems(*submenu, sub.items, actions);
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

void BuildMainMenu(QMenuBar& bar, const CommandActions& actions)
{
    QMenu* file = bar.addMenu(QStringLiteral("&File"));
    AddItems(*file,
             {CmdFileNew, CmdFileOpen, CmdFileOpenLog, CmdFileSave, CmdFileSaveAs, Separator, CmdViewLog, CmdCleanLog,
              CmdLogSettings, Separator, CmdResetMax, CmdRestart, Separator, CmdRecentFile, Separator, CmdAppExit},
             actions);

    QMenu* options = bar.addMenu(QStringLiteral("&Options"));
    AddItems(*options, {CmdCaption, CmdEnableTray, CmdAlwaysOnTop, CmdStatusBar, CmdNotifyCritical, Separator},
             actions);
    AddDisplaySubmenus(*options, Style::Main, actions);
    AddItems(*options, {Separator, CmdConnectTo, Separator, CmdCounters, CmdPreferences, CmdSystem}, actions);

    QMenu* help = bar.addMenu(QStringLiteral("&Help"));
    AddItems(*help, {CmdHelpContents, CmdAppAbout}, actions);
}

QMenu* BuildContextMenu(QWidget* parent, const CommandActions& actions)
{
    auto* menu = new QMenu(parent);
    AddItems(*menu, {CmdCaption, CmdEnableTray, CmdAlwaysOnTop, CmdNotifyCritical, Separator}, actions);
    AddDisplaySubmenus(*menu, Style::Plain, actions);
    AddItems(*menu,
             {Separator, CmdCounters, CmdConnectTo, CmdPreferences, Separator, CmdViewLog, CmdCleanLog,
              CmdLogSettings, Separator, CmdResetMax, CmdRestart, CmdMinimize, CmdAppExit},
             actions);
    return menu;
}

QMenu* BuildTrayMenu(QWidget* parent, const CommandActions& actions)
{
    auto* menu = new QMenu(parent);
    AddItems(*menu, {CmdTrayRestore, CmdTrayMinimize, Separator, CmdAppAbout, CmdAppExit}, actions);
    return menu;
}

QAction* FindCommandAction(const QWidget& menu, int id)
{
    return VisitActions(menu, [id](QAction* action) { return action->data().toInt() == id && id != 0; });
}

void UpdateRecentFileItems(const CommandActions& actions, const QStringList& entries)
{
    for (int i = 0; i < RecentFileCount; ++i) {
        QAction* action = actions.Action(CmdRecentFile + i);
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
