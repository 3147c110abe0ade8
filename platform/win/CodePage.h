#pragma once
// The system ANSI code page: the one the platform gives the locale's language (Greek 1253,
// Japanese 932, ..., Windows-1252 for the rest) unless LUMIDOC_ACP names another (for example
// 936). A character the code page cannot carry becomes "?".
#include <QByteArray>
#include <QString>

namespace win {

// The locale that governs characters: LC_ALL, then LC_CTYPE, then LANG (the first not empty).
QByteArray environmentLocale();

// The ANSI code page the platform gives a system locale in this language ("el_GR.UTF-8" gives
// 1253, "sr_RS@latin" 1250); 1252 for every other language and for "C" and "POSIX".
int codePageForLocale(const QByteArray& locale);

// iconv name of the ANSI code page in force ("WINDOWS-1252", "CP936", ...).
QByteArray ansiCodePageName();
// The same for messages ("code page 1253").
QString ansiCodePageLabel();

QByteArray toAnsi(const QString& text);
QString fromAnsi(const QByteArray& bytes);

// True when the text survives a round trip through the ANSI code page unchanged.
bool ansiCanCarry(const QString& text);

}  // namespace win
