#pragma once
// What the main window does in the notification area: its icon with the links' colour and tip,
// the icon's menu, the notes when a link drops, and the connection log, all fed from the events
// of the window's looks at the links, its starts and its stops.
#include "tools/link_log.h"
#include "tools/link_notes.h"
#include "tools/run.h"
#include "ui/tray_icon.h"

#include <functional>
#include <string>
#include <vector>

class TNotificationArea {
public:
    // Adds the icon for the owner. stay: the program stays in the notification area when its
    // window is closed (-tray), which it can only while the icon is shown. The icon and its
    // menu show the owner's run; command runs the owner's command for a chosen menu entry.
    TNotificationArea(HWND owner, bool stay, const TRun& run, std::function<void(int)> command);

    bool Stays() const { return stay_ && icon_.Shown(); }

    // The icon's mouse messages and the notification area made anew; true when handled.
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

    // After a look, a start or a stop: its events in the log and the notes, and the links'
    // states and whether the bridges run in the icon.
    void Show(const std::vector<TLinkEvent>& events, const TLinks& links);

    // Appends to the connection log; the first failure in a run shows as a note.
    void Log(const std::vector<TLogEvent>& events);
    // A note of the program's texts, 8-bit text in the ANSI code page.
    void Note(const TNote& note);

    // Whether a link that drops gives a note (the stored "Notify").
    bool Notify() const { return notify_; }
    void SetNotify(bool on) { notify_ = on; }

private:
    void ShowMenu();

    HWND owner_;
    bool stay_;
    const TRun& run_;
    std::function<void(int)> command_;
    TTrayIcon icon_;
    UINT taskbarCreated_;
    bool notify_ = true;
    bool logFailed_ = false;
};
