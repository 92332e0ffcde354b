#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The string forms of Wine's registry files: key and value names and string
// data are UTF-16 in memory and written as ASCII with C-like escapes.

// Reads an escaped string starting at `pos` up to the unescaped `endChar`.
// Returns the text and moves `pos` past `endChar`, or returns nothing when
// the line ends before `endChar`. Escapes: \a \b \e \f \n \r \t \v, \x with
// one to four hex digits, \ with one to three octal digits; any other escaped
// character stands for itself. Unescaped bytes above 0x7F are UTF-8; invalid
// sequences are dropped, as Wine drops them.
std::optional<std::u16string> ParseEscapedString(std::string_view line, std::size_t& pos,
                                                 char endChar);

// Writes `text` in Wine's escaped form, escaping the backslash and the two
// characters of `escaped` ("\"\"" for values, "[]" for key names).
std::string EscapeString(std::u16string_view text, std::string_view escaped);

// Registry names match without regard to case: two names are the same when
// their folded forms are equal, and subkeys are listed in the order of their
// folded forms.
std::u16string FoldName(std::u16string_view name);

// String data as the registry stores it: UTF-16, little-endian. An odd last
// byte is ignored when reading.
std::vector<std::uint8_t> ToUtf16LeBytes(std::u16string_view text);
std::u16string FromUtf16LeBytes(const std::vector<std::uint8_t>& data);
