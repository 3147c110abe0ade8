#pragma once
// File name and base name of a Windows path.
#include <QString>

// Text after the last "\" (the whole path when it holds none); "" for an empty path.
QString GetFileName(const QString& path);
// File name up to its first dot; "" for an empty path or a name starting with a dot.
QString GetFileBaseName(const QString& path);
