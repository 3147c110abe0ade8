// Conversions between UTF-16 text and 8-bit text in the ANSI code page: the one the platform
// gives the locale's language (Windows-1252 for most) unless the environment variable
// LUMIDOC_ACP names another (a number such as 936, or an iconv name).
#pragma once
#include <cstddef>
#include <string>

namespace clipsight {

// The iconv name of the ANSI code page in force ("CP1252" for most languages, "CP1253" for Greek).
std::string AnsiCodePageName();

// UTF-16 to ANSI; a character the code page cannot carry becomes '?'. False when no converter exists.
// With `lost`, tells whether a character was lost or changed on the way: such a path must not be
// opened, since '?' is an ordinary file-name character on the host.
bool WideToAnsi(const char16_t* text, size_t length, std::string* out, bool* lost = nullptr);

// ANSI to UTF-16; a byte the code page does not define keeps its own value as the character.
bool AnsiToWide(const char* text, size_t length, std::u16string* out);

// ANSI to UTF-8 (how host file names are spelled).
bool AnsiToUtf8(const char* text, size_t length, std::string* out);

}  // namespace clipsight
