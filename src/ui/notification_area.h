#pragma once
// What the main window does in the notification area: its icon with the links' colour and tip,
// the icon's menu, the notes when a link drops, and the connection log, all fed from the window's
// one-second look at the links.
#include "tools/link_events.h"
#include "ui/tray_icon.h"

#include <functional>
#include <string>
#include <vector>

class TNotificationArea {
public:
    // The menu's entries; the others are the main window's own commands.
    enum : int { IdOpen = 300 };
    static constexpr UINT AddIconMessage = WM_APP + 3;

    // Adds the icon for the owner. stay: the program stays in the notification area when its
    // window is closed (-tray), which it can only while the icon is shown. command runs the
    // owner's command for a chosen menu entry.
    TNotificationArea(HWND owner, bool stay, std::function<void(int)> command);

    bool Stays() const { return stay_ && icon_.Shown(); }

    // The icon's mouse messages and the notification area made anew; true when handled.
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

    // After a look: the links as seen, whether the bridges run, and whether the hub ended by itself.
    void LinksRead(const std::vector<TLinkSeen>& links, bool running, bool hubEnded);

    // Appends to the connection log; the first failure in a run shows as a note.
    void Log(const std::vector<TLogEvent>& events);
    void Note(const TNote& note) { icon_.Note(note); }

    // Whether a link that drops gives a note (the stored "Notify").
    bool Notify() const { return notify_; }
    void SetNotify(bool on) { notify_ = on; }

    const TTrayIcon& Icon() const { return icon_; }

private:
    void ShowMenu();

    HWND owner_;
    bool stay_;
    std::function<void(int)> command_;
    TTrayIcon icon_;
    TLinkEvents events_;
    UINT taskbarCreated_;
    bool running_ = false;
    bool notify_ = true;
    bool logFailed_ = false;
};
