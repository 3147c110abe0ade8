#include "SmallFileSystem.h"

#include <QDir>
#include <QFile>

#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>

#include "TestSupport.h"

namespace testing_support {

SmallFileSystem::SmallFileSystem(const QString& hostFolder, const QByteArray& options)
    : folder_(QFile::encodeName(hostFolder)) {
    QDir().mkpath(hostFolder);
    int error = enterOwnMountTable();
    if (!error && ::mount("lumidoc-test", folder_.constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                          options.constData()) != 0)
        error = errno;
    if (error) {
        reason_ = "no file system can be mounted here: " +
                  QString::fromLocal8Bit(std::strerror(error));
    }
}

SmallFileSystem::~SmallFileSystem() {
    if (ok()) ::umount2(folder_.constData(), MNT_DETACH);
}

long long SmallFileSystem::freeBytes() const {
    struct statvfs s;
    if (!ok() || ::statvfs(folder_.constData(), &s) != 0) return -1;
    return (long long)s.f_bavail * (long long)s.f_bsize;
}

}  // namespace testing_support
