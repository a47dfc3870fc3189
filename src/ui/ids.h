#pragma once
// Every command id, control id and private window message of the program's windows, in one
// place, so that no two equal values reach the same window procedure.
#include <windows.h>

// The main window: its controls, its menu, and the icon's menu, whose entries run the main
// window's commands.
enum : int {
    IdBridgeList = 100,
    IdAddButton,
    IdEditButton,
    IdDeleteButton,
    IdStartButton,
    IdStopButton,
    IdGroupBox,
    IdStatusBar,
    IdMenuExit = 200,
    IdMenuAdd,
    IdMenuEdit,
    IdMenuDelete,
    IdMenuAbout,
    IdMenuLogOn,
    IdMenuNotify,
    IdMenuShowLog,
    IdMenuCheckServers,
    IdMenuOpen,  // the icon's "&Open Pontis Manager"
};

// The bridge dialog: a field's control has the id IdFirstField plus the field's place in
// BridgeFields.
enum : int {
    IdOkButton = IDOK,
    IdCancelButton = IDCANCEL,
    IdFirstField = 300,
    IdSerialBox = 330,
    IdNetworkBox,
    IdTestButton,
    IdTestLine,  // what the server test found
};

// Private messages of the main window.
constexpr UINT WM_LINKSREAD = WM_APP + 1;  // the link watcher finished a look
constexpr UINT WM_TRAYICON = WM_APP + 2;  // the mouse over the notification-area icon
constexpr UINT WM_ADDTRAYICON = WM_APP + 3;  // the window is up: time to add its icon

// Private messages of the bridge dialog.
constexpr UINT WM_SERVERTESTED = WM_APP + 4;  // the server test has its finding
