#pragma once
// A file system of a test's own (a tmpfs), mounted over one of its folders in a mount namespace
// of the test program's window thread, so no other process sees it; unmounted when the test
// ends. Where the program may not mount, reason() says why, and the test takes another way or
// is skipped with that reason.
#include <QFile>
#include <QString>

#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>

namespace testing_support {

class PrivateMount {
public:
    PrivateMount(const QString& hostFolder, const QByteArray& options)
        : folder_(QFile::encodeName(hostFolder)) {
        static const int entered = [] {
            if (::unshare(CLONE_NEWNS) != 0) return errno;
            return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 ? 0 : errno;
        }();
        int error = entered;
        if (!error && ::mount("lumidoc-test", folder_.constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                              options.constData()) != 0)
            error = errno;
        mounted_ = !error;
        if (error) reason_ = "no file system can be mounted here: " + QString::fromLocal8Bit(std::strerror(error));
    }
    ~PrivateMount() {
        if (mounted_) ::umount2(folder_.constData(), MNT_DETACH);
    }
    PrivateMount(const PrivateMount&) = delete;
    PrivateMount& operator=(const PrivateMount&) = delete;

    bool ok() const { return mounted_; }
    const QString& reason() const { return reason_; }
    // Bytes still free for files.
    long long freeBytes() const {
        struct statvfs s;
        return ::statvfs(folder_.constData(), &s) == 0 ? (long long)s.f_bavail * s.f_bsize : -1;
    }

private:
    QByteArray folder_;
    bool mounted_ = false;
    QString reason_;
};

}  // namespace testing_support
