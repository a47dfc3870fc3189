// Program start: a switch that does its job without a window; otherwise the main window, then
// the bridge dialog, then the event loop until the main window closes. A running hub is left
// running.
#include "ui/main_window.h"
#include "ui/bridge_dialog.h"
#include "ui/notification_area.h"
#include "ui/application.h"
#include "ui/one_window.h"
#include "ui/switches.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Libraries loaded by name come from the system folder, never from the program's own.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    std::vector<std::string> args;
    for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i]);

    // -start, -stop and -status work beside an open window and end without one; -start -tray
    // starts the bridges, then the program.
    std::string trayNote;
    if (const std::optional<int> exitCode = RunSwitches(args, &trayNote)) return *exitCode;

    const TOneWindow oneWindow;
    if (!oneWindow.First()) return oneWindow.BringFirstForward();

    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&classes);

    // A window that cannot be made is reported like any other failure, and ends the program.
    const bool ran = Guarded([&] {
        TMainWindow window(std::move(args));
        // Shown before the dialog is made, so the window with its bridges appears as early as it
        // can; nothing answers the user before the loop runs anyway. With -tray only the icon
        // shows, unless there is no notification area to show it.
        if (!window.StaysInTray()) window.Show();
        if (!trayNote.empty()) window.Tray().Note({"Bridges not started", trayNote, true});
        TBridgeDialog dialog(window.Handle());
        window.SetDialog(&dialog);
        Application.SetIdleHandler([&window] { window.UpdateAvailability(); });
        Application.RunLoop(window.ClosedFlag());
        Application.SetIdleHandler(nullptr);
    });
    return ran ? 0 : 1;
}
