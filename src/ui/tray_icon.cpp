#include "ui/tray_icon.h"

#include "ui/bridge_list.h"

namespace {

constexpr UINT IconId = 1;

void CopyText(char* target, std::size_t size, const std::string& text) { ::lstrcpynA(target, text.c_str(), static_cast<int>(size)); }

HWND MakeNotesWindow() {
    WNDCLASSA notes{};
    notes.lpfnWndProc = ::DefWindowProcA;
    notes.hInstance = ::GetModuleHandleA(nullptr);
    notes.lpszClassName = TTrayIcon::NotesClass;
    ::RegisterClassA(&notes);  // fails harmlessly when registered before
    return ::CreateWindowExA(0, TTrayIcon::NotesClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, notes.hInstance,
                             nullptr);
}

}  // namespace

TTrayIcon::TTrayIcon(HWND owner) {
    const controls::ImageList dots = MakeStateIcons(::GetSystemMetrics(SM_CXSMICON));
    for (int i = 0; i < LinkStateCount; ++i) icons_[i].reset(ImageList_GetIcon(dots.get(), i, ILD_NORMAL));
    data_.cbSize = sizeof data_;
    data_.hWnd = owner;
    data_.uID = IconId;
    data_.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    data_.uCallbackMessage = WM_TRAYICON;
    data_.hIcon = icons_[0].get();
    CopyText(data_.szTip, sizeof data_.szTip, "Pontis Manager");
    notes_ = MakeNotesWindow();
}

TTrayIcon::~TTrayIcon() {
    if (shown_) {
        NOTIFYICONDATAA gone{};
        gone.cbSize = sizeof gone;
        gone.hWnd = data_.hWnd;
        gone.uID = IconId;
        ::Shell_NotifyIconA(NIM_DELETE, &gone);
    }
    if (notes_) ::DestroyWindow(notes_);
}

bool TTrayIcon::Send(DWORD message, NOTIFYICONDATAA data) {
    last_ = data;
    return ::Shell_NotifyIconA(message, &data) != FALSE;
}

bool TTrayIcon::Add() {
    shown_ = Send(NIM_ADD, data_);
    return shown_;
}

void TTrayIcon::Show(TLinkState state, const std::string& tip) {
    if (state == state_ && tip == data_.szTip) return;
    state_ = state;
    data_.hIcon = icons_[static_cast<int>(state)].get();
    CopyText(data_.szTip, sizeof data_.szTip, tip);
    if (shown_) Send(NIM_MODIFY, data_);
}

void TTrayIcon::Note(const TNote& note) {
    NOTIFYICONDATAA data = data_;
    data.uFlags = NIF_INFO;
    CopyText(data.szInfoTitle, sizeof data.szInfoTitle, note.Title);
    CopyText(data.szInfo, sizeof data.szInfo, note.Text);
    data.dwInfoFlags = note.Warning ? NIIF_WARNING : NIIF_INFO;
    lastNote_ = data;
    if (notes_) ::SetWindowTextA(notes_, (note.Title + ": " + note.Text).c_str());
    if (shown_) Send(NIM_MODIFY, data);
}
