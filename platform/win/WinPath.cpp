#include "win/WinPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <QFile>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace win {

namespace {

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

const char* const kDriveCMark = ".lumidoc-drive-c";

bool driveCFolderRefused(const QString& folder, const QStringList& homeFolders) {
    if (!folder.startsWith('/')) return true;
    const QString f = QDir::cleanPath(folder);
    if (f == "/") return true;
    for (const QString& home : homeFolders) {
        if (!home.startsWith('/')) continue;
        const QString h = QDir::cleanPath(home);
        if (h == f || h.startsWith(f + '/')) return true;
    }
    return false;
}

namespace {

// The user's home folder as the password database has it.
QString passwordHome() {
    struct passwd pw;
    struct passwd* found = nullptr;
    std::vector<char> buf(16384);
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) != 0 || !found || !found->pw_dir)
        return QString();
    return QString::fromLocal8Bit(found->pw_dir);
}

// A path and, when it exists, the same path with its links resolved.
QStringList withResolved(const QString& path) {
    QStringList out{path};
    if (!path.startsWith('/')) return out;
    const QString real = QFileInfo(path).canonicalFilePath();
    if (!real.isEmpty() && real != path) out << real;
    return out;
}

// True when the suite can tell the folder is its own: it does not exist yet, is empty, carries
// the mark, or holds nothing but the working folders an earlier version made there. A file, or
// a folder of anyone's with anything else in it, is not.
bool ownFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.exists() && !info.isSymLink()) return true;
    if (!info.isDir()) return false;
    if (QFileInfo(folder + '/' + kDriveCMark).isFile()) return true;
    const QDir dir(folder);
    if (!dir.isReadable()) return false;
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entries) {
        const QString name = e.fileName().toLower();
        const bool working = std::any_of(std::begin(kWorkingFolders), std::end(kWorkingFolders),
                                         [&](const char* f) { return name == QLatin1String(f); });
        if (e.isSymLink() || !e.isDir() || !working) return false;
    }
    return true;
}

// Makes the drive-C folder and marks it, so that it is known as the suite's own from now on.
void claimFolder(const QString& folder) {
    if (!QDir().mkpath(folder)) return;
    const QByteArray mark = QFile::encodeName(folder + '/' + kDriveCMark);
    const int fd = ::open(mark.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return;
    static const char text[] =
        "This folder is drive C of Lumidoc: its programs delete their working folders "
        "(tmp, jpgtmp, tmpfolipress, OCRtmp) in it.\n";
    [[maybe_unused]] const ssize_t n = ::write(fd, text, sizeof text - 1);
    ::close(fd);
}

DriveCSetting computeDriveC(const QByteArray& setting, const QByteArray& dataHome,
                            const QByteArray& homeVar) {
    DriveCSetting d;
    const QString home = QString::fromLocal8Bit(homeVar);
    const QString pwHome = passwordHome();
    if (!setting.isEmpty()) {
        d.variable = QStringLiteral("LUMIDOC_DRIVE_C");
        d.folder = QString::fromLocal8Bit(setting);
    } else {
        // A relative XDG_DATA_HOME is to be ignored; a HOME that is unset or relative says
        // nothing, and the password database knows the home folder instead.
        QString data = QString::fromLocal8Bit(dataHome);
        if (!data.startsWith('/')) {
            const QString h = home.startsWith('/') ? home : pwHome;
            data = h.startsWith('/') ? h + "/.local/share" : QString();
        }
        if (!data.isEmpty()) d.folder = data + "/lumidoc/drive_c";
    }
    QStringList homes;
    for (const QString& h : {home, pwHome}) {
        if (h.startsWith('/')) homes << withResolved(h);
    }
    d.usable = !d.folder.isEmpty();
    for (const QString& f : withResolved(d.folder)) {
        if (driveCFolderRefused(f, homes)) d.usable = false;
    }
    // The default folder is the suite's by its name (but it must be a folder); a folder the user
    // names must show it is the suite's.
    if (d.usable && !(d.variable.isEmpty() ? !QFileInfo(d.folder).exists() ||
                                                 QFileInfo(d.folder).isDir()
                                           : ownFolder(d.folder))) {
        d.usable = false;
    }
    return d;
}

}  // namespace

DriveCSetting driveCSetting() {
    // Worked out once for each set of the variables it depends on.
    static std::mutex lock;
    static QByteArray key;
    static DriveCSetting cached;
    static bool known = false;
    const QByteArray setting = qgetenv("LUMIDOC_DRIVE_C");
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    const QByteArray home = qgetenv("HOME");
    const QByteArray k = setting + '\0' + dataHome + '\0' + home;
    std::lock_guard<std::mutex> guard(lock);
    if (!known || k != key) {
        cached = computeDriveC(setting, dataHome, home);
        if (cached.usable) claimFolder(QDir::cleanPath(cached.folder));
        key = k;
        known = true;
    }
    return cached;
}

QString driveCFolder() {
    const DriveCSetting d = driveCSetting();
    if (!d.usable) return QString();
    const QString folder = QDir::cleanPath(d.folder);
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
            if (!c.isEmpty()) return joinComponents(c, rest, c);
        } else if (drive == 'Z') {
            return joinComponents(QStringLiteral("/"), rest, QStringLiteral("/"));
        }
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
    if (!c.isEmpty() && abs == c) return QStringLiteral("C:\\");
    if (!c.isEmpty() && abs.startsWith(c + '/')) {
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
