#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

// A colour field's text that is no whole number; the message quotes the
// text as it was read, with the "0" put in front.
class TColorValueError : public std::runtime_error {
public:
    explicit TColorValueError(const QString& readText);
};

// The value of a colour field: its text with "0" put in front, read as a
// signed 32-bit number. Decimal digits (not octal, despite the "0"), or
// "x" / "X" and one to eight significant hexadecimal digits taken as 32 bits
// ("x1F" is 31, "xFFFFFFFF" is -1); an empty field is 0. Anything else, and
// a decimal number above 2147483647, throws TColorValueError.
std::int32_t ColorFieldValue(const QString& text);
