#include "GetFile.h"

QString GetFileName(const QString& path) {
    if (path.isEmpty()) return QString();
    return path.mid(path.lastIndexOf('\\') + 1);
}

QString GetFileBaseName(const QString& path) {
    if (path.isEmpty()) return QString();
    const QString name = GetFileName(path);
    const int dot = name.indexOf('.');
    return dot < 0 ? name : name.left(dot);
}
