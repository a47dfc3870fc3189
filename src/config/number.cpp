#include "config/number.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::int32_t> Parse(std::string_view text, bool allowHex) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

    std::string_view rest = text.substr(i);
    bool hex = false;
    if (allowHex) {
        for (std::string_view prefix : {"$", "0x", "0X", "x", "X"}) {
            if (rest.substr(0, prefix.size()) == prefix) {
                rest.remove_prefix(prefix.size());
                hex = true;
                break;
            }
        }
    }
    if (rest.empty()) return std::nullopt;

    std::int64_t value = 0;
    if (hex) {
        if (rest.size() > 8) return std::nullopt;
        for (char c : rest) {
            int d = HexDigit(c);
            if (d < 0) return std::nullopt;
            value = value * 16 + d;
        }
        auto bits = static_cast<std::uint32_t>(value);
        if (negative) bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }
    for (char c : rest) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 2147483648LL) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::optional<std::int32_t> ParseNumber(std::string_view text) { return Parse(text, true); }

std::optional<std::int32_t> ParseDecimal(std::string_view text) { return Parse(text, false); }

std::string Decimal(std::int64_t value) { return std::to_string(value); }
