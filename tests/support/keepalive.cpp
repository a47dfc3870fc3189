// Keeps one window open for a whole test run, so that Wine's desktop process is not ended and
// restarted between GUI tests. Ends when its window is closed or the process is killed.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HWND hwnd = ::CreateWindowExA(0, "STATIC", "pontis-keepalive", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance,
                                  nullptr);
    if (!hwnd) return 1;
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
    return 0;
}
