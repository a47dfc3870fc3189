#pragma once
// Numbers on the tools' command lines and in their state: plain decimal as the manager writes
// it, an optional "-" and then digits without a leading zero ("-0" neither). Pure.
#include <cstdint>
#include <optional>
#include <string_view>

namespace standin {

// The number text holds when it is in that form and within min..max; none otherwise.
inline std::optional<std::int32_t> ReadDecimal(std::string_view text, std::int32_t min = INT32_MIN,
                                               std::int32_t max = INT32_MAX) {
    const bool negative = !text.empty() && text[0] == '-';
    std::string_view digits = text.substr(negative ? 1 : 0);
    // Ten digits hold every 32-bit number; more would not fit, and would overflow below.
    if (digits.empty() || digits.size() > 10 || (digits[0] == '0' && (digits.size() > 1 || negative)))
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (negative) value = -value;
    if (value < min || value > max) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

}  // namespace standin
