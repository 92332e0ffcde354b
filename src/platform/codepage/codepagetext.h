#pragma once

#include "platform/codepage/localecodepage.h"

#include <string>
#include <string_view>

// Text as a Windows program under Wine holds it: bytes in an ANSI code page
// (by default this process's, see ProcessAnsiCodePage), converted to and
// from the UTF-16 in which Wine keeps the registry, the way Wine converts:
// each byte the code page leaves undefined stands for a character of its
// own, so bytes read and written back stay as they were. Known code pages
// are those AnsiCodePageForLocale gives; any other throws
// std::invalid_argument.

// A byte sequence that the code page does not define becomes '?' (U+FFFD
// in UTF-8).
std::u16string AnsiToUtf16(std::string_view bytes, CodePage codePage = ProcessAnsiCodePage());

// A character the code page cannot hold becomes '?'; a surrogate pair is
// one character.
std::string Utf16ToAnsi(std::u16string_view text, CodePage codePage = ProcessAnsiCodePage());

// Whether every character of `text` survives Utf16ToAnsi unchanged.
bool AnsiCanHold(std::u16string_view text, CodePage codePage = ProcessAnsiCodePage());

// Code pages whose characters take one or two bytes.
bool IsDoubleByteCodePage(CodePage codePage);
