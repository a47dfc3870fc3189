#pragma once
// Watches the message boxes this thread shows and answers each one, so that a handler that
// shows a box can run inside a test. Records what every box looked like. A box is read from a
// timer in its own modal loop: when its activation is seen, its text, icon and place may not be
// set yet.
#include <windows.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

class MessageBoxWatcher {
public:
    struct Box {
        std::string caption;
        std::string text;
        bool hasYes = false;  // a Yes/No box
        HWND owner = nullptr;
        HICON icon = nullptr;  // the icon shown, if any
        bool centred = false;  // on the screen's work area
        bool probed = false;  // what the probe said while the box showed
    };

    // answer: the button pressed on every box (IDOK, IDYES, IDNO, ...).
    explicit MessageBoxWatcher(int answer = IDOK) : answer_(answer) {
        current_ = this;
        hook_ = ::SetWindowsHookExA(WH_CBT, &MessageBoxWatcher::Hook, nullptr, ::GetCurrentThreadId());
    }
    ~MessageBoxWatcher() {
        ::UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    void SetAnswer(int answer) { answer_ = answer; }
    // Asked while each box shows; its answer goes into the box's record.
    void SetProbe(std::function<bool()> probe) { probe_ = std::move(probe); }
    const std::vector<Box>& Boxes() const { return boxes_; }
    std::string Texts() const {
        std::string all;
        for (const Box& b : boxes_) all += "[" + b.caption + "] " + b.text + "\n";
        return all;
    }

    // The system's icon of that kind (IDI_ERROR, IDI_WARNING), as boxes show it.
    static HICON SystemIcon(LPCSTR id) { return ::LoadIconA(nullptr, id); }

private:
    static bool IsBox(HWND hwnd) {
        char cls[16] = "";
        ::GetClassNameA(hwnd, cls, sizeof cls);
        return std::string(cls) == "#32770";
    }

    static BOOL CALLBACK FindIcon(HWND child, LPARAM found) {
        char cls[16] = "";
        ::GetClassNameA(child, cls, sizeof cls);
        if (::lstrcmpiA(cls, "Static") == 0 && (::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            ::IsWindowVisible(child))
            *reinterpret_cast<HICON*>(found) = reinterpret_cast<HICON>(::SendMessageA(child, STM_GETICON, 0, 0));
        return TRUE;
    }

    Box Read(HWND hwnd) const {
        Box box;
        char text[2048] = "", caption[256] = "";
        ::GetDlgItemTextA(hwnd, 0xFFFF, text, sizeof text);
        ::GetWindowTextA(hwnd, caption, sizeof caption);
        box.caption = caption;
        box.text = text;
        box.hasYes = ::GetDlgItem(hwnd, IDYES) != nullptr;
        box.owner = ::GetWindow(hwnd, GW_OWNER);
        ::EnumChildWindows(hwnd, &MessageBoxWatcher::FindIcon, reinterpret_cast<LPARAM>(&box.icon));
        RECT r{}, work{};
        ::GetWindowRect(hwnd, &r);
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        box.centred = std::abs((r.left + r.right) - (work.left + work.right)) <= 2 &&
                      std::abs((r.top + r.bottom) - (work.top + work.bottom)) <= 2;
        box.probed = probe_ && probe_();
        return box;
    }

    static void CALLBACK Answer(HWND, UINT, UINT_PTR timer, DWORD) {
        ::KillTimer(nullptr, timer);
        if (!current_ || !::IsWindow(current_->box_) || current_->box_ == current_->answered_) return;
        HWND hwnd = current_->answered_ = current_->box_;
        current_->boxes_.push_back(current_->Read(hwnd));
        ::PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(current_->answer_, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hwnd, current_->answer_)));
    }

    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
        HWND hwnd = reinterpret_cast<HWND>(wp);
        if (code == HCBT_ACTIVATE && current_ && IsBox(hwnd)) {
            current_->box_ = hwnd;
            ::SetTimer(nullptr, 0, 10, &MessageBoxWatcher::Answer);
        }
        return ::CallNextHookEx(nullptr, code, wp, lp);
    }

    static inline MessageBoxWatcher* current_ = nullptr;
    HHOOK hook_ = nullptr;
    HWND box_ = nullptr;
    HWND answered_ = nullptr;
    int answer_;
    std::function<bool()> probe_;
    std::vector<Box> boxes_;
};
