#pragma once

#include <string>
#include <string_view>

// Code page numbers as Windows names them.
using CodePage = unsigned;

constexpr CodePage Utf8CodePage = 65001;

// The ANSI code page Wine gives a Windows program running under the Unix
// locale `localeName` ("pl_PL.UTF-8", "sr_RS@latin", "C", ...). Wine looks
// the language, territory and script up among the locales Windows knows and
// falls back to 1252 for any it does not know, installed on this system or
// not; languages Windows writes only in Unicode get UTF-8.
CodePage AnsiCodePageForLocale(std::string_view localeName);

// The locale name Wine goes by for a program started now: LC_ALL, else
// LC_CTYPE, else LANG (empty values skipped); "C" when the one from
// LC_CTYPE or LANG is not a locale this system has.
std::string CharacterLocaleFromEnvironment();

// The code page of this process's locale, looked up once: everything that
// crosses to or from the game uses it.
CodePage ProcessAnsiCodePage();
