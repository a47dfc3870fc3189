#pragma once
// The program's icon in the notification area: one dot in the colour of the list's dots, a tip,
// and notes, all wide text. The last note's title and text are also the text of a message-only
// window of the class NotesClass, which another process can read.
#include "platform/handles.h"
#include "tools/link_match.h"
#include "ui/ids.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

class TTrayIcon {
public:
    static constexpr char NotesClass[] = "PontisManagerNotes";

    // Makes the icons; the owner gets WM_TRAYICON for the mouse over the icon.
    explicit TTrayIcon(HWND owner);
    ~TTrayIcon();  // removes the icon
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;

    // Adds the icon (again, after the notification area was made anew); an icon the
    // notification area still has is changed instead. False when no notification area takes it.
    bool Add();
    bool Shown() const { return shown_; }

    // Shows the state's dot and the tip; asks the system only when either changed.
    void Show(TLinkState state, const std::wstring& tip);
    // Shows a note from the icon; it takes no focus.
    void Note(const std::wstring& title, const std::wstring& text, bool warning);

private:
    NOTIFYICONDATAW data_{};  // the icon and tip as shown
    platform::Icon icons_[LinkStateCount];
    HWND notes_ = nullptr;
    TLinkState state_ = TLinkState::Stopped;
    bool shown_ = false;
};
