#pragma once
// Command ids of the desktop program's menus. The numbers are those the profile documents and
// help contexts of the program have always used, so they are kept as they are. What each
// command shows and does is its row in command_table.cpp.

namespace quel::desktop {

enum CommandId : int {
    CmdNone = 0,

    // File menu
    CmdFileNew = 57600,
    CmdFileOpen = 57601,
    CmdFileOpenLog = 32850,
    CmdFileSave = 57603,
    CmdFileSaveAs = 57604,
    CmdRecentFile = 57616,  // first recent-file entry; the next ones follow
    CmdAppExit = 57665,
    CmdViewLog = 32805,
    CmdCleanLog = 32806,
    CmdLogSettings = 32801,
    CmdResetMax = 32786,
    CmdRestart = 32777,

    // Options menu
    CmdCaption = 32795,
    CmdEnableTray = 32842,
    CmdAlwaysOnTop = 32771,
    CmdStatusBar = 59393,
    CmdNotifyCritical = 32861,
    CmdShowNames = 32772,
    CmdShowValues = 32773,
    CmdShowNumbers = 32818,
    CmdShowCurrent = 32778,
    CmdBoldCurrent = 32783,
    CmdColorCurrent = 32790,
    CmdShowAverage = 32780,
    CmdBoldAverage = 32784,
    CmdColorAverage = 32791,
    CmdShowMax = 32781,
    CmdBoldMax = 32785,
    CmdColorMax = 32793,
    CmdBackColor = 32813,
    CmdTextColor = 32812,
    CmdLinesColor = 32814,
    CmdCriticalColor = 32815,
    CmdBoldCritical = 32816,
    CmdConnectTo = 32797,
    CmdCounters = 32774,
    CmdPreferences = 32775,
    CmdSystem = 32823,

    // Help menu
    CmdHelpContents = 57670,
    CmdAppAbout = 57664,

    // Context and tray menus
    CmdMinimize = 32845,
    CmdTrayRestore = 32836,
    CmdTrayMinimize = 32840,
};

constexpr int RecentFileCount = 4;

} // namespace quel::desktop
