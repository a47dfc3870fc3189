#pragma once
// Text to number conversions for stored values and typed fields.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The stored-number form: leading blanks, one optional sign, then decimal digits within the
// signed 32-bit range, or up to eight hexadecimal digits after "$", "0x", "0X", "x" or "X"
// giving the 32 bits directly. Nothing may follow the digits.
std::optional<std::int32_t> ParseNumber(std::string_view text);

// The same form without the hexadecimal prefixes: what a typed decimal field accepts.
std::optional<std::int32_t> ParseDecimal(std::string_view text);

// Plain signed decimal, no grouping, no leading zeros.
std::string Decimal(std::int64_t value);
