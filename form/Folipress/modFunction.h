#pragma once
// Path and file routines of the images-to-PDF program.
#include <QString>

namespace modFunction {

// True when the name is found through the ANSI file interface: the name is converted to the
// ANSI code page (characters it cannot carry become "?"), and "?" and "*" in the last part act
// as wildcards. Files and folders both count.
bool FileExistsAnsi(const QString& path);

// A part of a path: 0 the text after the last "." (the whole path without one); 1 the text after
// the last "\"; 2 that file name up to its first "."; 3 the text before the last "\" (raises
// an invalid-call RuntimeError when there is none); any other mode "".
QString GetFilePart(QString path, long mode);

// The text before the first occurrence of the one-character delimiter; the whole text when there
// is none (or the delimiter is not one character).
QString TextBefore(QString text, const QString& delimiter);

}  // namespace modFunction
