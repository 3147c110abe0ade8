#pragma once
// The system ANSI code page: the one the platform gives the locale's language (Greek 1253,
// Japanese 932, ..., Windows-1252 for the rest) unless LUMIDOC_ACP names another (for example
// 936). A character the code page cannot carry becomes "?".
#include <QByteArray>
#include <QString>

#include "win/LocaleCodePage.h"

namespace win {

// iconv name of the ANSI code page in force ("WINDOWS-1252", "CP936", ...).
QByteArray ansiCodePageName();
// The same for messages ("code page 1253").
QString ansiCodePageLabel();

// The text in the ANSI code page. With `lost`, tells whether the conversion lost or changed a
// character: "?" is an ordinary file-name character on the host, so a name that lost one must
// never be looked up (it could name another file).
QByteArray toAnsi(const QString& text, bool* lost = nullptr);
QString fromAnsi(const QByteArray& bytes);

// True when the text survives a round trip through the ANSI code page unchanged.
bool ansiCanCarry(const QString& text);

}  // namespace win
