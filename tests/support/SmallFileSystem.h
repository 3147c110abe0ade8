#pragma once
// A small file system of the test's own, for what a full disk does: a tmpfs of a given size
// mounted on a folder of the test's tree (where the test may mount one: as root, or holding the
// capability in its own namespaces), unmounted when the object goes.
#include <QString>

namespace testing_support {

class SmallFileSystem {
public:
    // Mounts `bytes` of space on hostFolder (created when missing).
    SmallFileSystem(const QString& hostFolder, long long bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool ok() const { return reason_.isEmpty(); }
    // Why none could be mounted, for the skip message.
    QString reason() const { return reason_; }
    // Fills the file system up to `leave` bytes of free space (a file named .filler).
    void fill(long long leave = 0);

private:
    QString folder_;
    QString reason_;
};

}  // namespace testing_support

// Skips the test, with the reason, when the small file system could not be mounted.
#define SKIP_WITHOUT_SMALL_FILE_SYSTEM(fs) \
    if (!(fs).ok()) GTEST_SKIP() << "no small file system can be mounted here: " \
                                 << (fs).reason().toStdString()
