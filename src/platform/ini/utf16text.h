#pragma once

// A settings file may be UTF-16 text with a byte order mark, which the
// platform's profile functions read as such (without the mark they read the
// bytes as 8-bit text). Such a file is worked on as UTF-8 and turned back
// into UTF-16 in its own byte order. The conversion keeps every code unit,
// unpaired surrogates included (as the three bytes UTF-8 would give them),
// so that lines nobody changed are written back exactly as they were.

#include <optional>
#include <string>
#include <string_view>

enum class Utf16Order { Little, Big };

// The byte order a leading byte order mark gives, or none.
std::optional<Utf16Order> Utf16OrderMark(std::string_view bytes);

// UTF-16 code units (no mark) as UTF-8. A last odd byte is not a code unit and
// is left out; the caller keeps it.
std::string Utf8FromUtf16(std::string_view bytes, Utf16Order order);

// UTF-8 (with the unpaired surrogates above) as UTF-16 code units, or none
// when text is not such UTF-8.
std::optional<std::string> Utf16FromUtf8(std::string_view text, Utf16Order order);
