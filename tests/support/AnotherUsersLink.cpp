#include "AnotherUsersLink.h"

#include <QDir>
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "TestSupport.h"

namespace testing_support {

namespace {

constexpr uid_t kAnotherId = 4242;

// Folders where the system keeps links, many of them naming a file beside them.
const char* const kSystemFolders[] = {"/usr/bin", "/usr/sbin", "/bin", "/sbin"};

struct SystemLink {
    QByteArray folder;
    QByteArray name;
    QByteArray target;
};

QString errorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// A link of someone else's in a system folder whose target is a plain name.
bool findSystemLink(SystemLink& found) {
    for (const char* folder : kSystemFolders) {
        DIR* d = ::opendir(folder);
        if (!d) continue;
        while (const dirent* e = ::readdir(d)) {
            struct stat st;
            char target[256];
            if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
                !S_ISLNK(st.st_mode) || st.st_uid == ::geteuid())
                continue;
            const ssize_t n = ::readlinkat(::dirfd(d), e->d_name, target, sizeof target);
            if (n <= 0 || size_t(n) >= sizeof target) continue;
            const QByteArray plain(target, n);
            if (plain.contains('/') || plain == "." || plain == "..") continue;
            found = {folder, e->d_name, plain};
            ::closedir(d);
            return true;
        }
        ::closedir(d);
    }
    return false;
}

}  // namespace

AnotherUsersLink::AnotherUsersLink(const QString& hostFolder, const QByteArray& content) {
    const QByteArray shared = QFile::encodeName(hostFolder + "/shared");
    ::mkdir(shared.constData(), 0700);
    ::chmod(shared.constData(), 01777);
    file_ = hostFolder + "/mine.pdf";
    writeFile(file_, content);
    link_ = hostFolder + "/shared/planted.pdf";
    if (QFile::link(file_, link_) &&
        ::lchown(QFile::encodeName(link_).constData(), kAnotherId, kAnotherId) == 0)
        return;
    QFile::remove(link_);
    const QString why = overlaidFolder(hostFolder);
    if (!why.isEmpty()) reason_ = "a link of another user cannot be made here: " + why;
}

AnotherUsersLink::~AnotherUsersLink() {
    if (!mounted_.isEmpty()) ::umount2(mounted_.constData(), MNT_DETACH);
}

QString AnotherUsersLink::overlaidFolder(const QString& hostFolder) {
    SystemLink system;
    if (!findSystemLink(system))
        return "no system folder holds a link of another user's to a plain name";
    if (const int error = enterOwnMountTable())
        return "no mount table of its own: " + errorText(error);
    const QString layer = hostFolder + "/layer";
    const QByteArray overlaid = QFile::encodeName(hostFolder + "/overlaid");
    QDir().mkpath(layer);
    QDir().mkpath(QFile::decodeName(overlaid));
    ::chmod(QFile::encodeName(layer).constData(), 01777);
    // The system's link names a link of ours, which names the file: the chain leaves the
    // read-only view, so a link followed would be written through.
    if (!QFile::link(file_, layer + "/" + QFile::decodeName(system.target)))
        return "no link can be made in " + layer;
    const QByteArray options = "lowerdir=" + QFile::encodeName(layer) + ":" + system.folder;
    if (::mount("lumidoc-test", overlaid.constData(), "overlay", MS_RDONLY | MS_NOSUID | MS_NODEV,
                options.constData()) != 0)
        return "no overlay can be mounted: " + errorText(errno);
    mounted_ = overlaid;
    link_ = QFile::decodeName(overlaid + "/" + system.name);
    return QString();
}

}  // namespace testing_support
