// The stored-number parser against a plain reading of its form: leading blanks, one sign,
// then decimal digits within 32 bits, or one to eight hexadecimal digits after "$", "0x",
// "0X", "x" or "X" giving the 32 bits directly; nothing after the digits.
#include "config/number.h"
#include "fuzz_support.h"

#include <algorithm>
#include <charconv>

namespace {

bool AllOf(std::string_view text, bool (*digit)(char)) {
    for (char c : text)
        if (!digit(c)) return false;
    return !text.empty();
}
bool IsDec(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDec(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The same form, read with the standard library's conversions.
std::optional<std::int32_t> Reference(std::string_view text, bool allowHex) {
    text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (allowHex) {
        for (std::string_view prefix : {"$", "0x", "0X", "x", "X"}) {
            if (text.substr(0, prefix.size()) != prefix) continue;
            std::string_view digits = text.substr(prefix.size());
            if (!AllOf(digits, IsHex) || digits.size() > 8) return std::nullopt;
            std::uint32_t bits = 0;
            std::from_chars(digits.data(), digits.data() + digits.size(), bits, 16);
            return static_cast<std::int32_t>(negative ? 0u - bits : bits);
        }
    }
    if (!AllOf(text, IsDec)) return std::nullopt;
    text.remove_prefix(std::min(text.find_first_not_of('0'), text.size() - 1));  // keep one digit
    if (text.size() > 10) return std::nullopt;
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::string Show(const std::optional<std::int32_t>& n) { return n ? std::to_string(*n) : "refused"; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (bool hex : {true, false}) {
        const std::optional<std::int32_t> got = hex ? ParseNumber(text) : ParseDecimal(text);
        const std::optional<std::int32_t> want = Reference(text, hex);
        fuzz::Require(got == want, hex ? "ParseNumber agrees with the reference" : "ParseDecimal agrees with the reference",
                      fuzz::Shown(text) + ": got " + Show(got) + ", want " + Show(want));
        // What is written back reads back the same.
        if (got) fuzz::Require(ParseDecimal(Decimal(*got)) == got, "Decimal reads back", Decimal(*got));
    }
    return 0;
}
