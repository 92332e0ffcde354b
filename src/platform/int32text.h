#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The value of a hexadecimal digit, or -1 for any other character.
int HexDigitValue(char c);

// A signed 32-bit whole number written as text: an optional '+' or '-', then
// decimal digits, or hexadecimal digits after "$", "0x" or "0X" (so "-$10"
// is -16). The whole text must be the number, and it must fit 32 bits.
std::optional<std::int32_t> ParseInt32Text(std::string_view text);
