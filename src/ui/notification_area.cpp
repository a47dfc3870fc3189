#include "ui/notification_area.h"

#include "config/config_store.h"
#include "platform/text.h"
#include "tools/connection_log.h"
#include "ui/ids.h"

TNotificationArea::TNotificationArea(HWND owner, bool stay, const TRun& run, std::function<void(int)> command)
    : owner_(owner),
      stay_(stay),
      run_(run),
      command_(std::move(command)),
      icon_(owner),
      taskbarCreated_(::RegisterWindowMessageA("TaskbarCreated")),
      notify_(ReadNotifySetting()) {
    // In the tray the icon must be there before the window is left hidden; otherwise it comes
    // once the window shows, so that it costs the start-up nothing.
    if (stay_)
        icon_.Add();
    else
        ::PostMessageA(owner_, WM_ADDTRAYICON, 0, 0);
}

bool TNotificationArea::HandleMessage(UINT msg, WPARAM, LPARAM lp) {
    if ((msg == taskbarCreated_ && msg != 0) || msg == WM_ADDTRAYICON) {
        icon_.Add();
        return true;
    }
    if (msg != WM_TRAYICON) return false;
    switch (static_cast<UINT>(lp)) {
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK: command_(IdMenuOpen); break;
    case WM_RBUTTONUP: ShowMenu(); break;
    }
    return true;
}

void TNotificationArea::ShowMenu() {
    const platform::Menu owned(::CreatePopupMenu());
    const HMENU menu = owned.get();
    ::AppendMenuA(menu, MF_STRING, IdMenuOpen, "&Open Pontis Manager");
    if (run_.Running())
        ::AppendMenuA(menu, MF_STRING, IdStopButton, "St&op bridges");
    else
        ::AppendMenuA(menu, MF_STRING, IdStartButton, "&Start bridges");
    ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(menu, MF_STRING, IdMenuExit, "E&xit");
    ::SetMenuDefaultItem(menu, IdMenuOpen, FALSE);
    POINT at{};
    ::GetCursorPos(&at);
    ::SetForegroundWindow(owner_);  // so that the menu closes when the user clicks elsewhere
    const int chosen = ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, owner_, nullptr);
    ::PostMessageA(owner_, WM_NULL, 0, 0);
    if (chosen) command_(chosen);
}

void TNotificationArea::Note(const TNote& note) {
    // The notes' texts name COM ports and servers, stored text in the ANSI code page.
    icon_.Note(platform::Widen(note.Title, CP_ACP), platform::Widen(note.Text, CP_ACP), note.Warning);
}

void TNotificationArea::Show(const std::vector<TLinkEvent>& events, const TLinks& links) {
    const std::vector<TLinkState> states = links.States();
    icon_.Show(TrayState(states, run_.Running()), platform::Widen(TrayTip(states, run_.Running()), CP_ACP));
    if (notify_)
        for (const TNote& note : Notes(events, links)) Note(note);
    // Last, so that no other note of this look takes its place at once.
    Log(LogEvents(events, links));
}

void TNotificationArea::Log(const std::vector<TLogEvent>& events) {
    std::string why;  // in the ANSI code page, as the system's texts are
    if (AppendToConnectionLog(events, &why) || logFailed_) return;
    logFailed_ = true;
    const std::string path = ConnectionLogPath();  // UTF-8
    icon_.Note(L"Connection log",
               L"The connection log could not be written" + (path.empty() ? std::wstring() : L": " + platform::Widen(path)) +
                   L" (" + platform::Widen(why, CP_ACP) + L")",
               true);
}
