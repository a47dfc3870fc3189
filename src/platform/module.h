#pragma once
// This executable's own path, and libraries and functions looked up at run time.
#include "platform/text.h"

#include <windows.h>

#include <string>

namespace platform {

// The full path of this executable in UTF-8, however long it is; empty when it cannot be had.
// Taken in the wide form: the ANSI one turns characters its code page cannot hold into
// look-alikes, and so into another path.
inline std::string ExePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n < path.size()) return Narrow(path.substr(0, n));
        path.resize(path.size() * 2);  // cut short: try a larger buffer
    }
}

// The folder of this executable with its trailing separator, in the ANSI code page for the "A"
// functions (as GetModuleFileNameA gives it) or in UTF-8 for the wide ones through Widen; empty
// when the path cannot be had.
inline std::string ExeDirectory(UINT codePage = CP_ACP) {
    std::string path = Narrow(Widen(ExePath()), codePage);
    return path.substr(0, path.find_last_of("\\/:") + 1);
}

// The full path of a process's executable; empty when it cannot be read.
inline std::wstring ImagePath(HANDLE process) {
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    return ::QueryFullProcessImageNameW(process, 0, &path[0], &size) ? path.substr(0, size) : std::wstring();
}

// Whether two paths name the same file as the system compares file names: letter by letter,
// case ignored. An empty path names none.
inline bool SamePath(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// A system library, looked for in the system folder only: never one planted beside the program.
inline HMODULE SystemLibrary(const char* name) { return ::LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32); }

// A function of a loaded module as its own type, or null when the module has none of that name.
template <class Function>
Function ProcAddress(HMODULE module, const char* name) {
    // Through the generic function type, which converts to any other without a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// Whether Wine runs this program.
inline bool UnderWine() { return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

}  // namespace platform
