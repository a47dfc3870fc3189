#include "ui/one_window.h"

#include "ui/main_window.h"
#include "ui/switches.h"

#include <string>

namespace {

constexpr char OneWindowName[] = "Local\\Pontis Manager main window";
constexpr DWORD FindWindowMs = 2000, FindPollMs = 100;

// The full path of a process's executable, empty when it cannot be read.
std::wstring ImagePath(HANDLE process) {
    wchar_t path[32768];
    DWORD size = sizeof path / sizeof path[0];
    return ::QueryFullProcessImageNameW(process, 0, path, &size) ? std::wstring(path, size) : std::wstring();
}

// A main window of this program: its class, in a process that runs this executable.
HWND FindOwnWindow() {
    struct Search {
        std::wstring self = ImagePath(::GetCurrentProcess());
        HWND found = nullptr;
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
            const std::wstring path = process ? ImagePath(process.get()) : std::wstring();
            if (!path.empty() && ::CompareStringOrdinal(path.c_str(), -1, s.self.c_str(), -1, TRUE) == CSTR_EQUAL)
                s.found = window;
            return s.found ? FALSE : TRUE;
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
    for (DWORD waited = 0; waited < FindWindowMs; waited += FindPollMs, ::Sleep(FindPollMs)) {
        if (HWND existing = FindOwnWindow()) {
            if (::IsIconic(existing))
                ::ShowWindow(existing, SW_RESTORE);
            else if (!::IsWindowVisible(existing))  // in the notification area
                ::ShowWindow(existing, SW_SHOWNORMAL);
            ::SetForegroundWindow(existing);
            return 0;
        }
    }
    return ReportFailure("Pontis Manager is already running, but its window could not be found.");
}
