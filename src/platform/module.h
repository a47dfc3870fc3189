#pragma once
// This executable's own path, and functions looked up at run time.
#include <windows.h>

#include <string>

namespace platform {

// The full path of this executable, however long it is; empty when it cannot be had.
inline std::string ExePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n < path.size()) return path.substr(0, n);
        path.resize(path.size() * 2);  // cut short: try a larger buffer
    }
}

// The folder of this executable with its trailing separator; empty when the path cannot be had.
inline std::string ExeDirectory() {
    std::string path = ExePath();
    return path.substr(0, path.find_last_of("\\/:") + 1);
}

// A function of a loaded module as its own type, or null when the module has none of that name.
template <class Function>
Function ProcAddress(HMODULE module, const char* name) {
    // Through the generic function type, which converts to any other without a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// Whether Wine runs this program.
inline bool UnderWine() { return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

}  // namespace platform
