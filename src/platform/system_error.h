#pragma once
// The system's own words for an error code, for messages the user sees.
#include <windows.h>

#include <stdexcept>
#include <string>

namespace platform {

// The system's message for code, without its trailing line break; "error <code>" when the
// system has none.
inline std::string SystemErrorText(DWORD code) {
    char* buffer = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length ? std::string(buffer, length) : "error " + std::to_string(code);
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

// Raises what failed, followed by the system's reason for the calling thread's last error.
[[noreturn]] inline void RaiseLastError(const std::string& what) {
    const DWORD code = ::GetLastError();
    throw std::runtime_error(what + ": " + SystemErrorText(code));
}

}  // namespace platform
