#include "modSpecialFolder.h"

#include <QDir>

#include "win/WinPath.h"

namespace modSpecialFolder {

namespace {

QString xdgFolder(const char* variable, const QString& underHome) {
    const QString set = QString::fromLocal8Bit(qgetenv(variable));
    // The XDG rules ignore a relative setting.
    if (!set.isEmpty() && QDir::isAbsolutePath(set))
        return QDir::cleanPath(set);
    return QDir::cleanPath(QDir::homePath() + "/" + underHome);
}

QString hostFolder(long id) {
    switch (id) {
        case CSIDL_APPDATA: return xdgFolder("XDG_CONFIG_HOME", ".config");
        case CSIDL_LOCAL_APPDATA: return xdgFolder("XDG_DATA_HOME", ".local/share");
        case CSIDL_COMMON_APPDATA: return win::toHostPath("C:\\ProgramData");
        default: return QString();
    }
}

}  // namespace

QString GetSpecialFolder(long csidl, bool create) {
    if (create)
        csidl |= CSIDL_FLAG_CREATE;
    const QString host = hostFolder(csidl & ~long(CSIDL_FLAG_CREATE));
    if (host.isEmpty())
        return QString();
    if (!QDir(host).exists()) {
        if (!(csidl & CSIDL_FLAG_CREATE) || !QDir().mkpath(host))
            return QString();
    }
    QString path = win::fromHostPath(host);
    if (path.endsWith('\\') && path.size() > 3)
        path.chop(1);
    return path;
}

}  // namespace modSpecialFolder
