#include "ui/notification_area.h"

#include "config/config_store.h"
#include "tools/connection_log.h"
#include "ui/Unit1.h"

TNotificationArea::TNotificationArea(HWND owner, bool stay, std::function<void(int)> command)
    : owner_(owner),
      stay_(stay),
      command_(std::move(command)),
      icon_(owner),
      taskbarCreated_(::RegisterWindowMessageA("TaskbarCreated")),
      notify_(ReadNotifySetting()) {
    // In the tray the icon must be there before the window is left hidden; otherwise it comes
    // once the window shows, so that it costs the start-up nothing.
    if (stay_)
        icon_.Add();
    else
        ::PostMessageA(owner_, AddIconMessage, 0, 0);
}

bool TNotificationArea::HandleMessage(UINT msg, WPARAM, LPARAM lp) {
    if ((msg == taskbarCreated_ && msg != 0) || msg == AddIconMessage) {
        icon_.Add();
        return true;
    }
    if (msg != TTrayIcon::CallbackMessage) return false;
    switch (static_cast<UINT>(lp)) {
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK: command_(IdOpen); break;
    case WM_RBUTTONUP: ShowMenu(); break;
    }
    return true;
}

void TNotificationArea::ShowMenu() {
    const platform::Menu owned(::CreatePopupMenu());
    const HMENU menu = owned.get();
    ::AppendMenuA(menu, MF_STRING, IdOpen, "&Open Pontis Manager");
    if (running_)
        ::AppendMenuA(menu, MF_STRING, TForm1::IdButton2, "St&op bridges");
    else
        ::AppendMenuA(menu, MF_STRING, TForm1::IdStartButton, "&Start bridges");
    ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(menu, MF_STRING, TForm1::IdMenuExit, "E&xit");
    ::SetMenuDefaultItem(menu, IdOpen, FALSE);
    POINT at{};
    ::GetCursorPos(&at);
    ::SetForegroundWindow(owner_);  // so that the menu closes when the user clicks elsewhere
    const int chosen = ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, owner_, nullptr);
    ::PostMessageA(owner_, WM_NULL, 0, 0);
    if (chosen) command_(chosen);
}

void TNotificationArea::LinksRead(const std::vector<TLinkSeen>& links, bool running, bool hubEnded) {
    running_ = running;
    TLinkEvents::TResult result = hubEnded ? events_.HubEnded() : events_.Look(static_cast<std::int64_t>(::GetTickCount64()), links);
    Log(result.Log);
    if (notify_)
        for (const TNote& note : result.Notes) icon_.Note(note);
    std::vector<TLinkState> states;
    for (const TLinkSeen& link : links) states.push_back(link.State);
    icon_.Show(TrayState(states, running), TrayTip(states, running));
}

void TNotificationArea::Log(const std::vector<TLogEvent>& events) {
    if (AppendToConnectionLog(events) || logFailed_) return;
    logFailed_ = true;
    const std::string path = ConnectionLogPath();
    icon_.Note({"Connection log", "The connection log could not be written" + (path.empty() ? std::string(".") : ": " + path), true});
}
