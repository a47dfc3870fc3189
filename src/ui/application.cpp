#include "ui/application.h"

#include "config/app_info.h"

#include <stdexcept>

TApplication Application;

std::string WithFullStop(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        message += '.';
    return message;
}

void ShowException(const std::exception& e) {
    ::MessageBoxA(::GetActiveWindow(), WithFullStop(e.what()).c_str(), AppTitle, MB_OK | MB_ICONERROR);
}

bool Guarded(const std::function<void()>& body) {
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowException(std::runtime_error("Unexpected error"));
    }
    return false;
}

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
