#include "desktop/menus.h"

#include "desktop/command_ids.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <array>
#include <initializer_list>

namespace quel::desktop {

namespace {

constexpr std::array Commands = {
    CommandInfo {CmdFileNew, "&New...", "Create a new document", false},
    CommandInfo {CmdFileOpen, "&Open...", "Open an existing document", false},
    CommandInfo {CmdFileSave, "&Save", "Save the active document", false},
    CommandInfo {CmdFileSaveAs, "Save &As...", "Save the active document with a new name", false},
    CommandInfo {CmdViewLog, "&View Log...", "Display logging data", false},
    CommandInfo {CmdCleanLog, "&Clean Log", "Reset logging data", false},
    CommandInfo {CmdLogSettings, "&Log Settings...", "Set logging options", false},
    CommandInfo {CmdResetMax, "Reset &Max", "Set to zero all max values", false},
    CommandInfo {CmdRestart, "&Restart", "Bounce counters", false},
    CommandInfo {CmdAppExit, "E&xit", "Quit the application", false},
    CommandInfo {CmdCaption, "&Window Caption", "Display window title", true},
    CommandInfo {CmdEnableTray, "Enable In Tray", "Creates an icon in the system tray", true},
    CommandInfo {CmdAlwaysOnTop, "Always On &Top", "Make this window on top of the others", true},
    CommandInfo {CmdStatusBar, "Stat&us Bar", "Show or hide the status bar", true},
    CommandInfo {CmdShowNames, "&Names", "Display axes names on the diagram", true},
    CommandInfo {CmdShowValues, "&Values", "Display current values on the diagram", true},
    CommandInfo {CmdShowNumbers, "Num&bers", "Assign numbers to each axis", true},
    CommandInfo {CmdShowCurrent, "&Show", "Draw current values on the graph", true},
    CommandInfo {CmdBoldCurrent, "&Bold", "Draw current values in bold", true},
    CommandInfo {CmdColorCurrent, "&Color...", "Select color for current values", false},
    CommandInfo {CmdShowAverage, "&Show", "Draw average values on the graph", true},
    CommandInfo {CmdBoldAverage, "&Bold", "Draw average values in bold", true},
    CommandInfo {CmdColorAverage, "&Color...", "Select color for average values", false},
    CommandInfo {CmdShowMax, "&Show", "Draw max values on the graph", true},
    CommandInfo {CmdBoldMax, "&Bold", "Draw max values in bold", true},
    CommandInfo {CmdColorMax, "&Color...", "Select color for max values", false},
    CommandInfo {CmdBackColor, "&Background...", "Change background color", false},
    CommandInfo {CmdTextColor, "&Text Color...", "Change text color", false},
    CommandInfo {CmdLinesColor, "&Lines Color...", "Change color of axis lines", false},
    CommandInfo {CmdCriticalColor, "&Critical Color...", "Change color of critical border line", false},
    CommandInfo {CmdBoldCritical, "B&old Critical Line", "Make critical border line bold", true},
    CommandInfo {CmdConnectTo, "Co&nnect to...", "Connect to remote computer", false},
    CommandInfo {CmdCounters, "C&ounters...", "Add/update/delete counters", false},
    CommandInfo {CmdPreferences, "&Preferences...", "Specify diagram charcteristics like grid step, etc.", false},
    CommandInfo {CmdSystem, "&System...", "Screensaver and service options", false},
    CommandInfo {CmdHelpContents, "&Contents", "Show help topics", false},
    CommandInfo {CmdAppAbout, "&About...", "Display program information, version number and copyright", false},
    CommandInfo {CmdMinimize, "Minimize", "", false},
    CommandInfo {CmdTrayRestore, "Restore", "", false},
    CommandInfo {CmdTrayMinimize, "Minimize", "", false},
};

// Shortcut keys shown beside the items; the keys themselves belong to the frame, so that they
// also work while the menu bar is hidden.
QString ShortcutHint(int id)
{
    switch (id) {
    case CmdFileNew:
        return QStringLiteral("\tCtrl+N");
    case CmdFileOpen:
        return QStringLiteral("\tCtrl+O");
    case CmdFileSave:
        return QStringLiteral("\tCtrl+S");
    default:
        return QString();
    }
}

enum class Style {
    Main,       // the main menu's texts with mnemonics and shortcut hints
    Plain,      // without mnemonics (context and tray menus)
};

constexpr int Separator = 0;

QAction* AddCommand(QMenu& menu, int id, Style style, const CommandHandler& onCommand)
{
    const CommandInfo* info = FindCommandInfo(id);
    QString text = QString::fromLatin1(info->text);
    text = style == Style::Main ? text + ShortcutHint(id) : WithoutMnemonics(text);
    QAction* action = menu.addAction(text);
    action->setData(id);
    action->setStatusTip(QString::fromLatin1(info->prompt));
    action->setCheckable(info->checkable);
    action->setEnabled(IsCommandAvailable(id));
    QObject::connect(action, &QAction::triggered, action, [onCommand, id] { onCommand(id); });
    return action;
}

void AddItems(QMenu& menu, std::initializer_list<int> items, Style style, const CommandHandler& onCommand)
{
    for (int id : items) {
        if (id == Separator)
            menu.addSeparator();
        else
            AddCommand(menu, id, style, onCommand);
    }
}

// The five display submenus, shared by the main and the context menu.
void AddDisplaySubmenus(QMenu& menu, Style style, const CommandHandler& onCommand)
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

const CommandInfo* FindCommandInfo(int id)
{
    for (const CommandInfo& info : Commands) {
        if (info.id == id)
            return &info;
    }
    return nullptr;
}

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

bool IsCommandAvailable(int id)
{
    switch (id) {
    case CmdLogSettings:
    case CmdCounters:
    case CmdPreferences:
    case CmdConnectTo:
        return false;
    default:
        return true;
    }
}

void BuildMainMenu(QMenuBar& bar, const CommandHandler& onCommand, QMenu*& recentFiles)
{
    const Style style = Style::Main;
    QMenu* file = bar.addMenu(QStringLiteral("&File"));
    AddItems(*file,
             {CmdFileNew, CmdFileOpen, CmdFileSave, CmdFileSaveAs, Separator, CmdViewLog, CmdCleanLog,
              CmdLogSettings, Separator, CmdResetMax, CmdRestart, Separator},
             style, onCommand);
    recentFiles = file->addMenu(QStringLiteral("Recent File"));
    file->addSeparator();
    AddItems(*file, {CmdAppExit}, style, onCommand);

    QMenu* options = bar.addMenu(QStringLiteral("&Options"));
    AddItems(*options, {CmdCaption, CmdEnableTray, CmdAlwaysOnTop, CmdStatusBar, Separator}, style, onCommand);
    AddDisplaySubmenus(*options, style, onCommand);
    AddItems(*options, {Separator, CmdConnectTo, Separator, CmdCounters, CmdPreferences, CmdSystem}, style,
             onCommand);

    QMenu* help = bar.addMenu(QStringLiteral("&Help"));
    AddItems(*help, {CmdHelpContents, CmdAppAbout}, style, onCommand);
}

QMenu* BuildContextMenu(QWidget* parent, const CommandHandler& onCommand)
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

QMenu* BuildTrayMenu(QWidget* parent, const CommandHandler& onCommand)
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

void SetCommandChecked(const QWidget& menu, int id, bool checked)
{
    if (QAction* action = FindCommandAction(menu, id))
        action->setChecked(checked);
}

} // namespace quel::desktop
