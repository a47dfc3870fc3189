#pragma once
// The program's icon in the notification area: one dot in the colour of the list's dots, a tip,
// and notes, all wide text. It keeps what it last handed to the system, so that tests read the
// tip and the notes at the program's own seam; the last note's title and text are also the text
// of a message-only window of the class NotesClass, which another process can read.
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

    // What the program last handed to the system, and the last note.
    const NOTIFYICONDATAW& Last() const { return last_; }
    const NOTIFYICONDATAW& LastNote() const { return lastNote_; }

private:
    bool Send(DWORD message, NOTIFYICONDATAW data);

    NOTIFYICONDATAW data_{};  // the icon and tip as shown
    NOTIFYICONDATAW last_{}, lastNote_{};
    platform::Icon icons_[LinkStateCount];
    HWND notes_ = nullptr;
    TLinkState state_ = TLinkState::Stopped;
    bool shown_ = false;
};
