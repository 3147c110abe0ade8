// Folder-tree deletion never follows a link, the folder it is given included, and never leaves
// the folder's own file system.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Module1.h"
#include "SmallFileSystem.h"
#include "TestSupport.h"
#include "win/WinPath.h"

using testing_support::ScratchDriveC;
using testing_support::treeSnapshot;
using testing_support::writeFile;

namespace {

// A folder of the user's with files, a read-only one and a subfolder.
void fillUserFolder(const QString& path) {
    writeFile(path + "/letter.txt", "dear");
    writeFile(path + "/photos/1.jpg", "jpeg");
    writeFile(path + "/.hidden", "h");
    writeFile(path + "/ro.txt", "ro");
    QFile::setPermissions(path + "/ro.txt", QFileDevice::ReadOwner);
    QFile::setPermissions(path + "/photos", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
}

}  // namespace

TEST(DeleteFolderTree, AWorkingFolderThatIsALinkLosesTheLinkAndItsTargetStaysWhole) {
    ScratchDriveC c;
    QTemporaryDir user;
    fillUserFolder(user.path());
    const auto before = treeSnapshot(user.path());
    // The names as the tools write them, against folders spelled otherwise.
    const struct {
        const char* onDisk;
        const char* asCalled;
    } folders[] = {{"tmp", "c:\\tmp"},
                   {"JPGTMP", "c:\\jpgtmp"},
                   {"tmpfolipress", "c:\\tmpfolipress"},
                   {"ocrtmp", "c:\\OCRtmp"}};
    for (const auto& f : folders) {
        ASSERT_TRUE(QFile::link(user.path(), c.hostPath(f.onDisk)));
        DeleteFolderTree(f.asCalled);
        EXPECT_FALSE(QFileInfo(c.hostPath(f.onDisk)).isSymLink()) << f.onDisk;
        EXPECT_FALSE(QFileInfo::exists(c.hostPath(f.onDisk))) << f.onDisk;
        EXPECT_EQ(treeSnapshot(user.path()), before) << f.onDisk;
    }
    QFile::setPermissions(user.path() + "/photos", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                       QFileDevice::ExeOwner);
}

TEST(DeleteFolderTree, ALinkOnTheWayToTheFolderStopsTheDeletion) {
    // c:\a is a link to a fake root holding a folder "tmp": c:\a\tmp is not ours to delete.
    ScratchDriveC c;
    QTemporaryDir fakeRoot;
    fillUserFolder(fakeRoot.path() + "/tmp");
    writeFile(fakeRoot.path() + "/tmp/deeper/x", "x");
    const auto before = treeSnapshot(fakeRoot.path());
    ASSERT_TRUE(QFile::link(fakeRoot.path(), c.hostPath("a")));
    DeleteFolderTree("c:\\a\\tmp");
    DeleteFolderTree("c:\\A\\TMP\\deeper");
    EXPECT_EQ(treeSnapshot(fakeRoot.path()), before);
    EXPECT_TRUE(QFileInfo(c.hostPath("a")).isSymLink());
    QFile::setPermissions(fakeRoot.path() + "/tmp/photos",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(DeleteFolderTree, AHardLinkedFileKeepsItsOtherNameAndAttributes) {
    ScratchDriveC c;
    QTemporaryDir user;
    writeFile(user.path() + "/kept.txt", "keep");
    QFile::setPermissions(user.path() + "/kept.txt", QFileDevice::ReadOwner);
    QDir().mkpath(c.hostPath("tmp"));
    ASSERT_EQ(::link(QFile::encodeName(user.path() + "/kept.txt").constData(),
                     QFile::encodeName(c.hostPath("tmp/kept.txt")).constData()),
              0);
    const auto before = treeSnapshot(user.path());
    DeleteFolderTree("c:\\tmp");
    EXPECT_FALSE(QFileInfo::exists(c.hostPath("tmp")));
    EXPECT_EQ(treeSnapshot(user.path()), before);
}

TEST(DeleteFolderTree, StaysOnTheWorkingFoldersOwnFileSystem) {
    // Drive C on a file system of the test's own, so that a folder of the user's bound into the
    // working folder lies on the same file system; the bind mount is made in the test's own
    // mount table, which the first mount set up, and goes with the drive's file system.
    ScratchDriveC c;
    testing_support::SmallFileSystem drive(c.hostPath(), "size=1m");
    SKIP_WITHOUT_SMALL_FILE_SYSTEM(drive);
    writeFile(c.hostPath(win::kDriveCMark), "");
    testing_support::SmallFileSystem other(c.hostPath("tmp/mnt"), "size=1m");
    ASSERT_TRUE(other.ok()) << other.reason().toStdString();
    writeFile(c.hostPath("tmp/mnt/theirs.txt"), "on another file system");
    fillUserFolder(c.hostPath("user"));
    const auto before = treeSnapshot(c.hostPath("user"));
    QDir().mkpath(c.hostPath("tmp/bound"));
    ASSERT_EQ(::mount(QFile::encodeName(c.hostPath("user")).constData(),
                      QFile::encodeName(c.hostPath("tmp/bound")).constData(), nullptr, MS_BIND, nullptr),
              0) << std::strerror(errno);
    writeFile(c.hostPath("tmp/sub/ours.txt"), "ours");
    DeleteFolderTree("c:\\tmp");
    EXPECT_EQ(testing_support::readFile(c.hostPath("tmp/mnt/theirs.txt")), "on another file system");
    EXPECT_EQ(treeSnapshot(c.hostPath("tmp/bound")), before);
    EXPECT_EQ(treeSnapshot(c.hostPath("user")), before);
    EXPECT_FALSE(QFileInfo::exists(c.hostPath("tmp/sub")));
}
