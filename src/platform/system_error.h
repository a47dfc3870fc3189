#pragma once
// Failures of the system, told or raised with the system's own words for them.
#include <windows.h>

#include <stdexcept>
#include <string>

namespace platform {

// The system's words for an error code, without the closing full stop and line break.
inline std::string SystemErrorText(DWORD code) {
    char text[512] = "";
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                               sizeof text, nullptr);
    while (n > 0 && std::string("\r\n. ").find(text[n - 1]) != std::string::npos) --n;
    return n ? std::string(text, n) : "error " + std::to_string(code);
}

// Raises what failed, followed by the system's reason for the calling thread's last error.
[[noreturn]] inline void RaiseLastError(const std::string& what) {
    const DWORD code = ::GetLastError();
    throw std::runtime_error(what + ": " + SystemErrorText(code));
}

}  // namespace platform
