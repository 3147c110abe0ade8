#pragma once
// The ANSI code page the platform gives the locale's language. Plain C++, so the media
// component, which uses no Qt, follows the same rule as the programs.
#include <string>

namespace win {

// The locale that governs characters: LC_ALL, then LC_CTYPE, then LANG (the first not empty).
std::string environmentLocale();

// The ANSI code page the platform gives a system locale in this language ("el_GR.UTF-8" gives
// 1253, "sr_RS@latin" 1250); 1252 for every other language and for "C" and "POSIX".
int codePageForLocale(const std::string& locale);

// The code page in force: the number LUMIDOC_ACP names, otherwise the locale's. Empty when
// LUMIDOC_ACP names a code page by an iconv name instead of a number.
std::string ansiCodePageSetting();

}  // namespace win
