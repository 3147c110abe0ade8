#include "win/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "win/RuntimeError.h"
#include "win/SafeTree.h"
#include "win/WinPath.h"

namespace win {

namespace {

struct Listing {
    QStringList names;
    int next = 0;
};

Listing& listing() {
    static Listing l;
    return l;
}

RuntimeError errnoError(int e) {
    switch (e) {
        case ENOENT: return RuntimeError(kErrFileNotFound, "File not found");
        case EACCES:
        case EPERM:
        case EROFS: return RuntimeError(kErrPermissionDenied, "Permission denied");
        case ENOTDIR: return RuntimeError(kErrPathNotFound, "Path not found");
        default: return RuntimeError(kErrPathFileAccess, "Path/File access error");
    }
}

int hostAttributes(const QString& host, const QString& name) {
    struct stat st;
    if (lstat(host.toLocal8Bit().constData(), &st) != 0) return -1;
    int a = 0;
    if (S_ISDIR(st.st_mode)) a |= kAttrDirectory;
    if (!(st.st_mode & S_IWUSR)) a |= kAttrReadOnly;
    if (name.startsWith('.') && name != "." && name != "..") a |= kAttrHidden;
    if (!S_ISDIR(st.st_mode)) a |= kAttrArchive;
    return a;
}


// Opens a held entry; one reached as a working file is never opened through a link.
int openEntry(const HeldEntry& e, int flags) {
    return ::openat(e.folder(), e.name(), flags | O_CLOEXEC | (e.strict() ? O_NOFOLLOW : 0), 0666);
}

}  // namespace

QRegularExpression wildcardPattern(const QString& pattern) {
    // Only * and ? are wildcards in a listing pattern; everything else is literal.
    QString re;
    for (const QChar c : pattern) {
        if (c == '*') re += ".*";
        else if (c == '?') re += '.';
        else re += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(re),
                              QRegularExpression::CaseInsensitiveOption);
}

QString dir(const QString& pattern, int attributeMask) {
    Listing& l = listing();
    l.names.clear();
    l.next = 0;
    const int cut = pattern.lastIndexOf('\\');
    QString folder = cut >= 0 ? pattern.left(cut + 1) : QString();
    QString namePattern = cut >= 0 ? pattern.mid(cut + 1) : pattern;
    if (namePattern.isEmpty()) namePattern = "*";
    const QString hostFolder = folder.isEmpty() ? QDir::currentPath() : toHostPath(folder);
    QDir d(hostFolder);
    if (!d.exists()) return QString();
    const bool wantFolders = attributeMask & kAttrDirectory;
    const bool wantHidden = attributeMask & kAttrHidden;
    const QRegularExpression re = wildcardPattern(namePattern);
    QStringList entries = d.entryList(QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QString& e : entries) {
        if ((e == "." || e == "..") && !wantFolders) continue;
        if (!re.match(e).hasMatch() && e != "." && e != "..") continue;
        if ((e == "." || e == "..") && namePattern != "*" && namePattern != "*.*") continue;
        const int a = hostAttributes(d.filePath(e), e);
        if (a < 0) continue;
        if ((a & kAttrDirectory) && !wantFolders) continue;
        if ((a & kAttrHidden) && !wantHidden) continue;
        l.names << e;
    }
    return dir();
}

QString dir() {
    Listing& l = listing();
    if (l.next >= l.names.size()) return QString();
    return l.names[l.next++];
}

int getAttr(const QString& path) {
    const QString host = toHostPath(path);
    const int a = hostAttributes(host, QFileInfo(host).fileName());
    if (a < 0) throw errnoError(errno);
    return a;
}

void setAttr(const QString& path, int attrs) {
    const QString host = toHostPath(path);
    struct stat st;
    const QByteArray h = host.toLocal8Bit();
    if (lstat(h.constData(), &st) != 0) throw errnoError(errno);
    // A link's own attributes cannot change here; the file it points to is not ours to touch.
    if (S_ISLNK(st.st_mode)) return;
    mode_t m = st.st_mode & 07777;
    m = (attrs & kAttrReadOnly) ? (m & ~mode_t(S_IWUSR)) : (m | S_IWUSR);
    if (chmod(h.constData(), m) != 0) throw errnoError(errno);
}

void killFile(const QString& path) {
    const HeldEntry e = holdFileEntry(path);
    if (!e.ok()) throw RuntimeError(kErrFileNotFound, "File not found");
    // A link is deleted itself, wherever (or whether) it points.
    struct stat st;
    if (::fstatat(e.folder(), e.name(), &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode))
        throw RuntimeError(kErrFileNotFound, "File not found");
    if (::unlinkat(e.folder(), e.name(), 0) != 0) throw errnoError(errno);
}

void makeFolder(const QString& path) {
    const HeldEntry e = holdFileEntry(path);
    if (!e.ok()) throw RuntimeError(kErrPathNotFound, "Path not found");
    struct stat st;
    if (e.strict() && ::fstatat(e.folder(), e.name(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(st.st_mode)) {
        ::unlinkat(e.folder(), e.name(), 0);
    }
    if (::mkdirat(e.folder(), e.name(), 0777) != 0) {
        if (errno == EEXIST) throw RuntimeError(kErrPathFileAccess, "Path/File access error");
        if (errno == ENOENT) throw RuntimeError(kErrPathNotFound, "Path not found");
        throw errnoError(errno);
    }
}

void removeFolder(const QString& path) {
    const HeldEntry e = holdFileEntry(path);
    if (!e.ok()) throw RuntimeError(kErrPathNotFound, "Path not found");
    if (::unlinkat(e.folder(), e.name(), AT_REMOVEDIR) != 0) {
        if (errno == ENOENT) throw RuntimeError(kErrPathNotFound, "Path not found");
        throw RuntimeError(kErrPathFileAccess, "Path/File access error");
    }
}

void copyFile(const QString& from, const QString& to) {
    QFile src(toHostPath(from));
    if (!QFileInfo(src.fileName()).isFile() || !src.open(QIODevice::ReadOnly))
        throw RuntimeError(kErrFileNotFound, "File not found");
    // The copy goes into a side file first, so a failed copy never leaves a half-written target.
    FileReplacement out(to);
    struct stat st;
    if (::fstat(src.handle(), &st) == 0) out.limitTo(st.st_mode);
    QByteArray chunk;
    while (!src.atEnd()) {
        chunk = src.read(1 << 20);
        if (chunk.isEmpty() && src.error() != QFileDevice::NoError)
            throw RuntimeError(kErrPathFileAccess, "Path/File access error");
        out.write(chunk.constData(), chunk.size());
    }
    out.commit();
}

void replaceFile(const QString& path, const QByteArray& bytes) {
    FileReplacement out(path);
    out.write(bytes.constData(), bytes.size());
    out.commit();
}

void appendToFile(const QString& path, const QByteArray& bytes) {
    const HeldEntry e = holdFileEntry(path);
    if (!e.ok()) throw RuntimeError(kErrPathNotFound, "Path not found");
    const int fd = openEntry(e, O_WRONLY | O_APPEND | O_CREAT);
    if (fd < 0) throw errnoError(errno);
    const bool written = writeAll(fd, bytes.constData(), bytes.size()) == 0;
    if (::close(fd) != 0 || !written) throw RuntimeError(kErrPathFileAccess, "Path/File access error");
}

int openFile(const QString& path, int flags, int& error) {
    const HeldEntry e = holdFileEntry(path);
    const int fd = e.ok() ? openEntry(e, flags) : -1;
    error = e.ok() ? (fd < 0 ? errno : 0) : e.error();
    return fd;
}

bool entryExists(const QString& path) {
    const HeldEntry e = holdFileEntry(path);
    struct stat st;
    return e.ok() && ::fstatat(e.folder(), e.name(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

int writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : ENOSPC;
        data += n;
        size -= n;
    }
    return 0;
}

bool fileExists(const QString& path) {
    QFileInfo fi(toHostPath(path));
    return fi.exists() && !fi.isDir();
}

bool folderExists(const QString& path) { return QFileInfo(toHostPath(path)).isDir(); }

long long fileLength(const QString& path) {
    QFileInfo fi(toHostPath(path));
    return fi.exists() ? fi.size() : -1;
}

}  // namespace win
