#include "ui/one_window.h"

#include "platform/module.h"
#include "platform/text.h"
#include "ui/main_window.h"
#include "ui/switches.h"

#include <string>

namespace {

constexpr char OneWindowName[] = "Local\\Pontis Manager main window";
constexpr DWORD FindWindowMs = 2000, FindPollMs = 100;

// A main window of this program: its class, in a process that runs this executable; else the
// path of a process of another executable that has such a window (a copy in another folder).
struct TFound {
    HWND own = nullptr;
    std::wstring other;
};

TFound FindMainWindow() {
    struct Search {
        std::wstring self = platform::ImagePath(::GetCurrentProcess());
        TFound found;
    } search;
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            char className[32] = "";
            ::GetClassNameA(window, className, sizeof className);
            if (std::string(className) != TMainWindow::ClassName) return TRUE;
            DWORD id = 0;
            ::GetWindowThreadProcessId(window, &id);
            const platform::Handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
            const std::wstring path = process ? platform::ImagePath(process.get()) : std::wstring();
            if (path.empty()) return TRUE;
            if (platform::SamePath(path, s.self))
                s.found.own = window;
            else if (s.found.other.empty())
                s.found.other = path;
            return s.found.own ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

TOneWindow::TOneWindow() : name_(::CreateMutexA(nullptr, FALSE, OneWindowName)) {
    first_ = !(name_ && ::GetLastError() == ERROR_ALREADY_EXISTS);
}

int TOneWindow::BringFirstForward() const {
    // The first program may still be making its window.
    std::wstring other;
    for (DWORD waited = 0; waited < FindWindowMs; waited += FindPollMs, ::Sleep(FindPollMs)) {
        const TFound found = FindMainWindow();
        if (!found.other.empty()) other = found.other;
        if (HWND existing = found.own) {
            if (::IsIconic(existing))
                ::ShowWindow(existing, SW_RESTORE);
            else if (!::IsWindowVisible(existing))  // in the notification area
                ::ShowWindow(existing, SW_SHOWNORMAL);
            ::SetForegroundWindow(existing);
            return 0;
        }
    }
    if (!other.empty())  // said as the error box and the output say it: in the ANSI code page
        return ReportFailure("Pontis Manager is already running from " + platform::Narrow(other, CP_ACP) + ".");
    return ReportFailure("Pontis Manager is already running, but its window could not be found.");
}
