#include "ui/application.h"

#include "ui/app_info.h"

#include <stdexcept>

TApplication Application;

std::string WithFullStop(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        message += '.';
    return message;
}

namespace {

int openBoxes = 0;

}  // namespace

int ShowBox(HWND owner, const std::string& text, const char* caption, UINT flags) {
    if (openBoxes > 0) return 0;
    ++openBoxes;
    const int answer = ::MessageBoxA(owner, text.c_str(), caption, flags);
    --openBoxes;
    return answer;
}

bool BoxOpen() { return openBoxes > 0; }

void ShowErrorBox(HWND owner, const std::string& text, UINT icon, const char* caption) {
    ShowBox(owner, text, caption, MB_OK | icon);
}

void ShowOutcome(HWND owner, const TOutcome& outcome, UINT icon) {
    if (!outcome) ShowErrorBox(owner, outcome.Text, icon);
}

void ShowHubArguments(const std::string& arguments) {
    ShowBox(nullptr, arguments, AppTitle, MB_OK | MB_TASKMODAL);  // centred on the screen
}

void ShowException(const std::exception& e) {
    ShowErrorBox(::GetActiveWindow(), WithFullStop(e.what()), MB_ICONERROR, AppTitle);
}

void ShowUnexpectedException() { ShowException(std::runtime_error("Unexpected error")); }

void TApplication::Idle() {
    if (idle_) Guarded(idle_);
}

void TApplication::RunLoop(const bool* done) {
    MSG msg;
    while (!(done && *done)) {
        if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            Idle();
            if (done && *done) break;
            ::WaitMessage();
            continue;
        }
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // let the outer loop see it too
            break;
        }
        HWND active = ::GetActiveWindow();
        if (active && ::IsDialogMessageA(active, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}
