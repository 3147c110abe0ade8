#pragma once
// A file system of a test's own (a tmpfs), for what a full disk or a mount point does: mounted
// over one of the test's folders in a mount namespace of the test program's window thread, so
// no other process sees it, and unmounted when the object goes. Where the program may not mount
// (no right to, in its own namespaces or at all), reason() says why, and the test takes another
// way or is skipped with that reason.
#include <QByteArray>
#include <QString>

#include "TestSupport.h"

namespace testing_support {

class SmallFileSystem {
public:
    // `options` as mount takes them for a tmpfs: "size=4m". The folder is made when missing.
    SmallFileSystem(const QString& hostFolder, const QByteArray& options);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool ok() const { return reason_.isEmpty(); }
    const QString& reason() const { return reason_; }
    // Bytes still free for files; -1 when not mounted.
    long long freeBytes() const;

private:
    QByteArray folder_;
    QString reason_;
};

}  // namespace testing_support

// Skips the test, with the reason, when the small file system could not be mounted (fails it
// under CI=true).
#define SKIP_WITHOUT_SMALL_FILE_SYSTEM(fs) \
    LUMIDOC_TEST_RUNS_ONLY_IF((fs).ok(), (fs).reason().toStdString())
