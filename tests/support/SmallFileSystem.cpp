#include "SmallFileSystem.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace testing_support {

SmallFileSystem::SmallFileSystem(const QString& hostFolder, long long bytes)
    : folder_(hostFolder) {
    QDir().mkpath(folder_);
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
    if (::mount("tmpfs", QFile::encodeName(folder_).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                options.constData()) != 0) {
        reason_ = QString::fromLocal8Bit(std::strerror(errno));
        if (reason_.isEmpty()) reason_ = QStringLiteral("mount failed");
    }
}

SmallFileSystem::~SmallFileSystem() {
    if (ok()) ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
}

void SmallFileSystem::fill(long long leave) {
    if (!ok()) return;
    const int fd = ::open(QFile::encodeName(folder_ + "/.filler").constData(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    std::vector<char> block(4096, 'f');
    struct statvfs vfs;
    while (::fstatvfs(fd, &vfs) == 0) {
        const long long free = (long long)vfs.f_bavail * (long long)vfs.f_frsize;
        if (free <= leave) break;
        const long long chunk = std::min<long long>(free - leave, (long long)block.size());
        if (::write(fd, block.data(), size_t(chunk)) <= 0) break;
    }
    ::close(fd);
}

}  // namespace testing_support
