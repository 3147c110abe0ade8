#pragma once
// The system ANSI code page: Windows-1252 unless LUMIDOC_ACP names another (for example 936).
// A character the code page cannot carry becomes "?".
#include <QByteArray>
#include <QString>

namespace win {

// iconv name of the ANSI code page in force ("WINDOWS-1252", "CP936", ...).
QByteArray ansiCodePageName();

QByteArray toAnsi(const QString& text);
QString fromAnsi(const QByteArray& bytes);

// True when the text survives a round trip through the ANSI code page unchanged.
bool ansiCanCarry(const QString& text);

}  // namespace win
