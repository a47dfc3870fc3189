#pragma once
// Text between the program's two forms and the system's wide one. Paths from outside the stored
// data (this executable's, the tools', the log-on command) are kept as UTF-8 and handed to the
// wide ("W") functions; the stored data is 8-bit text in the ANSI code page.
#include <windows.h>

#include <string>
#include <string_view>

namespace platform {

// 8-bit text in the code page (CP_UTF8 or CP_ACP) as wide text.
inline std::wstring Widen(std::string_view text, UINT codePage = CP_UTF8) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) ::MultiByteToWideChar(codePage, 0, text.data(), size, &wide[0], length);
    return wide;
}

// Wide text as 8-bit text in the code page; the ANSI code page maps what it cannot hold as the
// "A" functions do.
inline std::string Narrow(std::wstring_view wide, UINT codePage = CP_UTF8) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int length = ::WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) ::WideCharToMultiByte(codePage, 0, wide.data(), size, &text[0], length, nullptr, nullptr);
    return text;
}

}  // namespace platform
