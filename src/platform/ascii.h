#pragma once
// ASCII letter case, as Windows compares device and executable names (only the 26 letters fold,
// every other byte stands as it is), and the ASCII control characters. Pure.
#include <string_view>

namespace platform {

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A byte below 0x20 (a tab, a line break, ...) or 0x7F (DEL).
constexpr bool IsAsciiControl(char c) { return static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) == 0x7F; }

inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

}  // namespace platform
