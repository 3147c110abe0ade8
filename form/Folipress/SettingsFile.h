#pragma once
// setting.dll: the document title, author, subject, keywords and compress quality of the last
// conversion run, one double-quoted field per line. Written in UTF-8 after a byte-order mark,
// so every script comes back as typed whatever the code page; a file without the mark is in
// the ANSI code page, as the form before it, and is read as such.
#include <QString>
#include <QStringList>

namespace SettingsFile {

// Writes the five lines, replacing the file. Raises RuntimeError when it cannot be written.
void Write(const QString& winPath, const QString& title, const QString& author,
           const QString& subject, const QString& keywords, int quality);

// The fields of the file in order, at most five; fewer when the file is short. Each line is one
// field: a quoted line gives the text between its first and last quote (so a double quote typed
// inside a title comes back whole), an unquoted one its text up to a comma. Raises RuntimeError
// when the file cannot be opened.
QStringList Read(const QString& winPath);

// The quality a fifth field holds: a number from 0 to 100 (rounded halves to even).
bool ParseQuality(const QString& field, int& quality);

}  // namespace SettingsFile
