#include "win/WinPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace win {

namespace {

QString envOr(const char* name, const QString& fallback) {
    const QByteArray v = qgetenv(name);
    return v.isEmpty() ? fallback : QString::fromLocal8Bit(v);
}

// Joins one component onto a host folder; when it does not exist as spelled, the first entry
// whose name matches case-insensitively is used instead.
QString joinCaseInsensitive(const QString& folder, const QString& component) {
    const QString direct = folder.endsWith('/') ? folder + component : folder + '/' + component;
    if (component == "." || component == ".." || QFileInfo::exists(direct)) return direct;
    QDir dir(folder.isEmpty() ? QStringLiteral("/") : folder);
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& e : entries) {
        if (e.compare(component, Qt::CaseInsensitive) == 0) {
            return folder.endsWith('/') ? folder + e : folder + '/' + e;
        }
    }
    return direct;
}

// Joins the components of a Windows path onto a host folder. "." and ".." go by name, as on
// Windows, and ".." never climbs above `root` (the drive's root): "c:\\..\\x" is "c:\\x", inside
// the drive-C folder.
QString joinComponents(QString base, const QString& rest, const QString& root) {
    const QStringList parts = QString(rest).replace('\\', '/').split('/', Qt::SkipEmptyParts);
    for (const QString& p : parts) {
        if (p == ".") continue;
        if (p == "..") {
            if (base != root && base.size() > 1) {
                base.truncate(base.lastIndexOf('/'));
                if (base.isEmpty()) base = QStringLiteral("/");
            }
            continue;
        }
        base = joinCaseInsensitive(base, p);
    }
    return base;
}

}  // namespace

QString driveCFolder() {
    QString dataHome = envOr("XDG_DATA_HOME", QDir::homePath() + "/.local/share");
    QString folder = envOr("LUMIDOC_DRIVE_C", dataHome + "/lumidoc/drive_c");
    folder = QDir::cleanPath(QDir(folder).absolutePath());
    QDir().mkpath(folder);
    return folder;
}

bool isDrivePath(const QString& text) {
    return text.size() >= 2 && text[1] == ':' && text[0].isLetter() && text[0].unicode() < 128 &&
           (text.size() == 2 || text[2] == '\\' || text[2] == '/');
}

QString toHostPath(const QString& winPath) {
    if (winPath.isEmpty()) return QString();
    if (winPath.size() >= 2 && winPath[1] == ':' && winPath[0].isLetter()) {
        const QChar drive = winPath[0].toUpper();
        const QString rest = winPath.mid(2);
        if (drive == 'C') {
            const QString c = driveCFolder();
            return joinComponents(c, rest, c);
        }
        if (drive == 'Z') return joinComponents(QStringLiteral("/"), rest, QStringLiteral("/"));
        return QStringLiteral("/nonexistent-drive-") + drive + '/' +
               QString(rest).replace('\\', '/');
    }
    if (winPath.startsWith('\\') || winPath.startsWith('/')) {
        // Rooted without a drive: the current drive, which for us is the host root.
        return joinComponents(QStringLiteral("/"), winPath, QStringLiteral("/"));
    }
    return joinComponents(QDir::currentPath(), winPath, QStringLiteral("/"));
}

QString fromHostPath(const QString& hostPath) {
    QString abs = QDir::cleanPath(QFileInfo(hostPath).absoluteFilePath());
    const QString c = driveCFolder();
    if (abs == c) return QStringLiteral("C:\\");
    if (abs.startsWith(c + '/')) {
        return QStringLiteral("C:\\") + abs.mid(c.size() + 1).replace('/', '\\');
    }
    return QStringLiteral("Z:") + abs.replace('/', '\\');
}

QString appPath() {
    QString dir;
    if (QCoreApplication::instance()) {
        dir = QCoreApplication::applicationDirPath();
    } else {
        char buf[4096];
        const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n > 0) dir = QFileInfo(QString::fromLocal8Bit(buf, int(n))).absolutePath();
    }
    QString w = fromHostPath(dir);
    if (w.endsWith('\\') && w.size() > 3) w.chop(1);
    return w;
}

QString exeName() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return QStringLiteral("program");
    QString name = QFileInfo(QString::fromLocal8Bit(buf, int(n))).fileName();
    const int dot = name.indexOf('.');
    return dot > 0 ? name.left(dot) : name;
}

}  // namespace win
