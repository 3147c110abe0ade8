#include "win/SafeTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringList>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>
#include <unordered_set>
#include <utility>

#include "win/FileSystem.h"
#include "win/RuntimeError.h"
#include "win/WinPath.h"

namespace win {

namespace {

struct SplitPath {
    QString root;  // host folder the components start from; "" when the drive is not mapped
    QStringList components;
};

// The host folder a Windows path starts from and its components, "." and ".." taken by name
// and never above the drive's root.
SplitPath splitPath(const QString& winPath) {
    SplitPath s;
    QString rest = winPath;
    if (winPath.size() >= 2 && winPath[1] == ':' && winPath[0].isLetter()) {
        const QChar drive = winPath[0].toUpper();
        rest = winPath.mid(2);
        if (drive == 'C') s.root = driveCFolder();
        else if (drive == 'Z') s.root = QStringLiteral("/");
        else return s;
        if (s.root.isEmpty()) return s;
    } else if (winPath.startsWith('\\') || winPath.startsWith('/')) {
        s.root = QStringLiteral("/");
    } else {
        s.root = QDir::currentPath();
    }
    for (const QString& p : rest.replace('\\', '/').split('/', Qt::SkipEmptyParts)) {
        if (p == ".") continue;
        if (p == "..") {
            if (!s.components.isEmpty()) s.components.removeLast();
            continue;
        }
        s.components << p;
    }
    return s;
}

bool isDriveC(const QString& winPath) {
    return winPath.size() >= 2 && winPath[1] == ':' && winPath[0].toUpper() == 'C';
}

// The C: form of a path that reaches into drive C some other way (a Z: or relative path).
QString onDriveC(const QString& winPath) {
    if (isDriveC(winPath) || driveCFolder().isEmpty()) return winPath;
    return fromHostPath(toHostPath(winPath));
}

int openFolder(int at, const char* name) {
    return ::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The name of an entry of the folder that equals `wanted` without regard to case.
QByteArray matchWithoutCase(int folderFd, const QString& wanted) {
    const int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return QByteArray();
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return QByteArray();
    }
    QByteArray found;
    while (dirent* e = ::readdir(dir)) {
        if (QFile::decodeName(e->d_name).compare(wanted, Qt::CaseInsensitive) == 0) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// The host name of a component in a folder: as spelled when it is there, else the entry that
// matches without regard to case, else as spelled.
QByteArray hostName(int folderFd, const QString& component) {
    const QByteArray spelled = QFile::encodeName(component);
    struct stat st;
    if (::fstatat(folderFd, spelled.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) return spelled;
    const QByteArray other = matchWithoutCase(folderFd, component);
    return other.isEmpty() ? spelled : other;
}

HeldEntry holdStrictly(const QString& winPath) {
    const SplitPath s = splitPath(onDriveC(winPath));
    if (s.root.isEmpty()) return HeldEntry::failed(ENOENT);
    if (s.components.isEmpty()) return HeldEntry::failed(EINVAL);
    int fd = ::open(QFile::encodeName(s.root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return HeldEntry::failed(errno);
    for (int i = 0; i + 1 < s.components.size(); ++i) {
        const int next = openFolder(fd, hostName(fd, s.components[i]).constData());
        const int e = errno;
        ::close(fd);
        // A link where a folder should be: O_NOFOLLOW gives ELOOP (ENOTDIR with O_DIRECTORY on
        // some systems); either way the walk ends here.
        if (next < 0) return HeldEntry::failed(e == ENOTDIR ? ELOOP : e);
        fd = next;
    }
    HeldEntry entry(fd, hostName(fd, s.components.last()));
    entry.setStrict();
    return entry;
}

HeldEntry holdByHostPath(const QString& winPath) {
    const QString host = toHostPath(winPath);
    const QFileInfo info(host);
    const QString name = info.fileName();
    if (host.isEmpty() || name.isEmpty()) return HeldEntry::failed(EINVAL);
    const int fd = ::open(QFile::encodeName(info.absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return HeldEntry::failed(errno);
    return HeldEntry(fd, QFile::encodeName(name));
}

// Where an entry lies: its file system and, where the kernel tells it, the mount it is reached
// through (a folder bound in from the same file system has a mount of its own).
struct Place {
    mode_t mode = 0;
    dev_t device = 0;
    quint64 mount = 0;
    bool mountKnown = false;
};

// The entry `name` of a folder, or the open entry itself for "" (links not followed).
bool placeOf(int at, const char* name, Place& p) {
    struct statx sx;
    const int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | (*name ? 0 : AT_EMPTY_PATH);
    if (::statx(at, name, flags, STATX_TYPE | STATX_MODE | STATX_MNT_ID, &sx) != 0) return false;
    p.mode = sx.stx_mode;
    p.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    p.mount = sx.stx_mnt_id;
    p.mountKnown = sx.stx_mask & STATX_MNT_ID;
    return true;
}

// Kernels before 5.8 give no mount id: there only another file system is told apart.
bool samePlace(const Place& a, const Place& b) {
    return a.device == b.device && (!a.mountKnown || !b.mountKnown || a.mount == b.mount);
}

// Deletes the folder `name` of the folder `parentFd` with everything in it that is reached
// through the mount `top` (as rm --one-file-system, and a bind mount counts as a mount too:
// what is mounted inside stays whole).
void deleteFolderIn(int parentFd, const char* name, const Place& top,
                    const std::function<void()>& after) {
    int fd = openFolder(parentFd, name);
    Place here;
    if (fd >= 0 && (!placeOf(fd, "", here) || !samePlace(here, top))) {
        ::close(fd);
        return;
    }
    if (fd >= 0) {
        // Its entries can go only while the folder can be written.
        if (!(here.mode & S_IWUSR)) ::fchmod(fd, (here.mode & 07777) | S_IWUSR);
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
        } else {
            // The listing goes on after a subfolder, and is read again from its beginning once
            // it ends, for entries made while messages were pumped; each name is tried once,
            // so what cannot go is not visited again without end.
            std::unordered_set<std::string> tried;
            bool again = true;
            while (again) {
                again = false;
                ::rewinddir(dir);
                while (dirent* e = ::readdir(dir)) {
                    const std::string entry = e->d_name;
                    if (entry == "." || entry == ".." || !tried.insert(entry).second) continue;
                    Place p;
                    const bool known = placeOf(::dirfd(dir), entry.c_str(), p);
                    if (known && !samePlace(p, top)) {
                        // A mount point, or a file bound in from elsewhere: not ours.
                    } else if (known && S_ISDIR(p.mode)) {
                        deleteFolderIn(::dirfd(dir), entry.c_str(), top, after);
                        again = true;
                    } else {
                        // A file's own permissions do not matter for its removal here, and
                        // changing them would reach every other name of a hard-linked file.
                        ::unlinkat(::dirfd(dir), entry.c_str(), 0);
                    }
                    if (after) after();
                }
            }
            ::closedir(dir);
        }
    }
    ::unlinkat(parentFd, name, AT_REMOVEDIR);
}

QByteArray sideName(const QByteArray& target) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray tag;
    for (int i = 0; i < 8; ++i) tag += letters[QRandomGenerator::global()->bounded(36)];
    // Short enough for any file system whatever the target's length.
    const QByteArray base = target.size() > 200 ? QByteArray() : target;
    return "." + base + ".part-" + tag;
}

// The name under which this process reaches an open file.
QByteArray procPath(int fd) { return "/proc/self/fd/" + QByteArray::number(fd); }

// An unnamed file in the folder that can be named once whole, through its /proc entry; -1 where
// the file system makes none or /proc does not show it.
int openUnnamed(int folderFd) {
    const int fd = ::openat(folderFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    struct stat own, seen;
    if (::fstat(fd, &own) != 0 || ::stat(procPath(fd).constData(), &seen) != 0 ||
        own.st_ino != seen.st_ino || own.st_dev != seen.st_dev) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Links followed from a target to its file at most, as the system does; more is a loop.
constexpr int kMaxLinks = 40;

// The entry a chain of the user's links ends at, each link read relative to its own folder.
// A link that someone else made in a folder anyone may write to (sticky, like /tmp) is not
// followed, as the system would not follow it either.
HeldEntry followUserLinks(HeldEntry entry) {
    for (int links = 0;; ++links) {
        struct stat st;
        if (::fstatat(entry.folder(), entry.name(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(st.st_mode))
            return entry;
        if (links == kMaxLinks) throw RuntimeError(kErrPathFileAccess, "Path/File access error");
        struct stat folder;
        if (::fstat(entry.folder(), &folder) == 0 && (folder.st_mode & S_ISVTX) &&
            (folder.st_mode & S_IWOTH) && st.st_uid != ::geteuid() && st.st_uid != folder.st_uid)
            throw RuntimeError(kErrPermissionDenied, "Permission denied");
        QByteArray target(PATH_MAX, '\0');
        const ssize_t n = ::readlinkat(entry.folder(), entry.name(), target.data(), size_t(target.size()));
        if (n <= 0 || n >= target.size()) throw RuntimeError(kErrPathFileAccess, "Path/File access error");
        target.truncate(n);
        const qsizetype cut = target.lastIndexOf('/');
        const QByteArray name = target.mid(cut + 1);
        // A link that names a folder is a folder where a file should be.
        if (name.isEmpty() || name == "." || name == "..")
            throw RuntimeError(kErrPathFileAccess, "Path/File access error");
        const QByteArray in = cut < 0 ? QByteArray(".") : cut == 0 ? QByteArray("/") : target.left(cut);
        const int fd = ::openat(entry.folder(), in.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) throw RuntimeError(kErrPathNotFound, "Path not found");
        entry = HeldEntry(fd, name);
    }
}

}  // namespace

bool isWorkingPath(const QString& winPath) {
    const QString path = onDriveC(winPath);
    if (!isDriveC(path)) return false;
    const SplitPath s = splitPath(path);
    if (s.components.isEmpty()) return false;
    for (const char* folder : kWorkingFolders) {
        if (s.components.first().compare(QLatin1String(folder), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

HeldEntry::HeldEntry(int folderFd, QByteArray name) : fd_(folderFd), name_(std::move(name)) {}

HeldEntry::HeldEntry(HeldEntry&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      name_(std::move(other.name_)),
      error_(other.error_),
      strict_(other.strict_) {}

HeldEntry& HeldEntry::operator=(HeldEntry&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        name_ = std::move(other.name_);
        error_ = other.error_;
        strict_ = other.strict_;
    }
    return *this;
}

HeldEntry::~HeldEntry() {
    if (fd_ >= 0) ::close(fd_);
}

HeldEntry HeldEntry::failed(int error) {
    HeldEntry e;
    e.error_ = error ? error : ENOENT;
    return e;
}

HeldEntry holdFileEntry(const QString& winPath) {
    return isWorkingPath(winPath) ? holdStrictly(winPath) : holdByHostPath(winPath);
}

void deleteFolderTree(const QString& winPath, const std::function<void()>& afterEachEntry) {
    const HeldEntry top = holdStrictly(winPath);
    if (!top.ok()) return;
    Place p;
    if (!placeOf(top.folder(), top.name(), p)) return;
    if (S_ISLNK(p.mode)) {
        ::unlinkat(top.folder(), top.name(), 0);
        return;
    }
    if (S_ISDIR(p.mode)) deleteFolderIn(top.folder(), top.name(), p, afterEachEntry);
}

FileReplacement::FileReplacement(const QString& winPath) : entry_(holdFileEntry(winPath)) {
    if (!entry_.ok()) throw RuntimeError(kErrPathNotFound, "Path not found");
    if (!entry_.strict()) {
        entry_ = followUserLinks(std::move(entry_));
        durable_ = true;
    }
    struct stat st;
    if (::fstatat(entry_.folder(), entry_.name(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode)) throw RuntimeError(kErrPathFileAccess, "Path/File access error");
        if (S_ISREG(st.st_mode)) {
            // A read-only file is not replaced, as the platform refuses to write over one.
            if (!(st.st_mode & S_IWUSR)) throw RuntimeError(kErrPermissionDenied, "Permission denied");
            mode_ = st.st_mode & 07777;
            group_ = st.st_gid;
            replacing_ = true;
        }
    }
    fd_ = openUnnamed(entry_.folder());
    unnamed_ = fd_ >= 0;
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        side_ = sideName(entry_.name());
        fd_ = ::openat(entry_.folder(), side_.constData(),
                       O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        const bool denied = errno == EACCES || errno == EPERM || errno == EROFS;
        side_.clear();
        if (denied) throw RuntimeError(kErrPermissionDenied, "Permission denied");
        throw RuntimeError(kErrPathFileAccess, "Path/File access error");
    }
}

FileReplacement::~FileReplacement() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !side_.isEmpty()) ::unlinkat(entry_.folder(), side_.constData(), 0);
}

void FileReplacement::limitTo(mode_t sourceMode) { limit_ = (sourceMode & 07777) | S_IRWXU; }

// As an editor's save: the file keeps what the user gave it (the group first, since a change
// of group may drop the set-id bits). A group the user may not give is left to the system.
void FileReplacement::keepPermissions() {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return;
    if (replacing_) {
        if (st.st_gid != group_) (void)::fchown(fd_, uid_t(-1), group_);
        ::fchmod(fd_, mode_);
        return;
    }
    const mode_t made = st.st_mode & 07777;
    if ((made & limit_) != made) ::fchmod(fd_, made & limit_);
}

void FileReplacement::write(const char* data, qint64 size) {
    if (writeAll(fd_, data, size) != 0) throw RuntimeError(kErrPathFileAccess, "Path/File access error");
}

// The whole unnamed file takes the target's name: at once when there is none yet, else under a
// side name renamed over the target (a kill between those two calls leaves that side file).
bool FileReplacement::nameUnnamedFile() {
    const QByteArray self = procPath(fd_);
    const int folder = entry_.folder();
    if (::linkat(AT_FDCWD, self.constData(), folder, entry_.name(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno != EEXIST) return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        side_ = sideName(entry_.name());
        if (::linkat(AT_FDCWD, self.constData(), folder, side_.constData(), AT_SYMLINK_FOLLOW) == 0) {
            if (::renameat(folder, side_.constData(), folder, entry_.name()) == 0) return true;
            ::unlinkat(folder, side_.constData(), 0);
            break;
        }
        if (errno != EEXIST) break;
    }
    side_.clear();
    return false;
}

void FileReplacement::commit() {
    if (committed_) return;
    keepPermissions();
    // A user's file is replaced only by one that is on the disk: after a crash the old one or
    // the new one stands, never an empty one.
    bool done = !durable_ || ::fdatasync(fd_) == 0;
    if (unnamed_) {
        // A file system that reports write errors only at close does so for a copy of the
        // descriptor too: the file gets its name only when nothing was lost.
        const int probe = ::dup(fd_);
        const bool closed = probe >= 0 && ::close(probe) == 0;
        done = done && closed && nameUnnamedFile();
        ::close(fd_);
    } else {
        done = ::close(fd_) == 0 && done &&
               ::renameat(entry_.folder(), side_.constData(), entry_.folder(), entry_.name()) == 0;
    }
    fd_ = -1;
    if (!done) throw RuntimeError(kErrPathFileAccess, "Path/File access error");
    committed_ = true;
}

}  // namespace win
