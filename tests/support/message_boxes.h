#pragma once
// Watches the message boxes this thread shows and answers each one, so that a handler that
// shows a box can run inside a test. Records caption, text and style of every box.
#include <windows.h>

#include <string>
#include <vector>

class MessageBoxWatcher {
public:
    struct Box {
        std::string caption;
        std::string text;
        bool hasYes = false;  // a Yes/No box
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
    const std::vector<Box>& Boxes() const { return boxes_; }
    std::string Texts() const {
        std::string all;
        for (const Box& b : boxes_) all += "[" + b.caption + "] " + b.text + "\n";
        return all;
    }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
        if (code == HCBT_ACTIVATE && current_) {
            HWND box = reinterpret_cast<HWND>(wp);
            char cls[16] = "";
            ::GetClassNameA(box, cls, sizeof cls);
            if (std::string(cls) == "#32770") {
                char text[1024] = "", caption[256] = "";
                ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                ::GetWindowTextA(box, caption, sizeof caption);
                current_->boxes_.push_back({caption, text, ::GetDlgItem(box, IDYES) != nullptr});
                ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(current_->answer_, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(box, current_->answer_)));
            }
        }
        return ::CallNextHookEx(nullptr, code, wp, lp);
    }

    static inline MessageBoxWatcher* current_ = nullptr;
    HHOOK hook_ = nullptr;
    int answer_;
    std::vector<Box> boxes_;
};
