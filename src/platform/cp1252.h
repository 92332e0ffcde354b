#pragma once

#include <string>
#include <string_view>

// Conversion between the Windows-1252 ANSI code page, in which the program's
// strings are held, and UTF-16, in which the registry keeps its text.
//
// The five byte values that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the control characters of the same number, as Windows
// itself maps them, so every byte round-trips.

std::u16string Cp1252ToUtf16(std::string_view text);

// Characters without a Windows-1252 form become '?'; a surrogate pair counts
// as one character.
std::string Utf16ToCp1252(std::u16string_view text);
