#pragma once

#include <optional>
#include <string>
#include <string_view>

// Visible stand-ins for control characters, so that a text shows what it
// holds on one line: a line feed as a return arrow (U+21B5; its control
// picture is too small to notice at the window font's size), the other C0
// controls as their control pictures (U+2400 + code), DEL as U+2421.

// The symbol that stands for c, when c is a C0 control or DEL.
std::optional<char16_t> ControlSymbol(char16_t c);

// The control character a symbol stands for, when c is one of the symbols.
std::optional<char16_t> ControlOfSymbol(char16_t c);

// A text from outside, as one line: the controls above become their
// symbols, and whatever else could end a line or hide in it - the C1
// controls, the line and paragraph separators - becomes a symbol too (a
// return arrow for the line breaks among them, U+FFFD for the rest).
std::u16string OnOneLine(std::u16string_view text);
