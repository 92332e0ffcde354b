#pragma once

#include "platform/codepage/localecodepage.h"

#include <optional>

// Bytes that a code page leaves undefined still stand for a character under
// Wine, so that text read and written back keeps them. glibc's converters
// refuse these bytes; this is what Wine gives them instead. (Byte pairs a
// double-byte code page reserves for characters of the user's own making
// are not among them.)
std::optional<char16_t> UndefinedByteCharacter(CodePage codePage, unsigned char byte);
std::optional<unsigned char> UndefinedByteFor(CodePage codePage, char16_t character);
