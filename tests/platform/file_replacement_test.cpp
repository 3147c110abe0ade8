// Replacing a file whole: a write killed midway leaves nothing new beside the file, and outside
// the working folders a link the user made is followed to the file it names.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PrivateMount.h"
#include "TestSupport.h"
#include "win/FileSystem.h"
#include "win/RuntimeError.h"
#include "win/SafeTree.h"
#include "win/WinPath.h"

using testing_support::readFile;
using testing_support::ScratchDriveC;
using testing_support::treeSnapshot;
using testing_support::writeFile;

namespace {

using Tree = QMap<QString, QByteArray>;

// A folder's entries, one a line: kind, permissions and content.
std::string entries(const QString& hostFolder) {
    std::string out;
    const Tree tree = treeSnapshot(hostFolder);
    for (auto it = tree.begin(); it != tree.end(); ++it)
        out += (it.key() + " " + QString::fromUtf8(it.value())).toStdString() + "\n";
    return out;
}

// A folder's entries, each link with the path it names.
QStringList links(const QString& hostFolder) {
    QStringList out;
    const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QFileInfo& f : QDir(hostFolder).entryInfoList(all, QDir::Name))
        out << f.fileName() + (f.isSymLink() ? " -> " + f.symLinkTarget() : QString());
    return out;
}

// A child replaces c:\out\Scans.pdf and is killed once it has written part of it: the output
// folder while it wrote, and after.
std::pair<std::string, std::string> killMidWrite(const ScratchDriveC& c) {
    int ready[2];
    if (::pipe(ready) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            win::FileReplacement out("c:\\out\\Scans.pdf");
            out.write("%PDF-1.4 the first half", 23);
            if (::write(ready[1], "w", 1) == 1) ::pause();
        } catch (...) {
        }
        ::_exit(1);
    }
    ::close(ready[1]);
    char written = 0;
    const bool wrote = ::read(ready[0], &written, 1) == 1;
    ::close(ready[0]);
    const std::string during = entries(c.hostPath("out"));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(wrote);
    return {during, entries(c.hostPath("out"))};
}

int errorOf(const std::function<void()>& statement) {
    try {
        statement();
    } catch (const win::RuntimeError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(FileReplacement, AWriteKilledMidwayLeavesNothingNewInTheFolder) {
    ScratchDriveC c;
    writeFile(c.hostPath("out/Scans.pdf"), "the user's document");
    const std::string before = entries(c.hostPath("out"));
    const auto [during, after] = killMidWrite(c);
    EXPECT_EQ(during, before);
    EXPECT_EQ(after, before);
}

TEST(FileReplacement, WhereNoUnnamedFileCanBeNamedASideFileStandsIn) {
    // Without /proc an unnamed file cannot be given a name: the side file beside the target is
    // used, and a write killed midway leaves it there, the target whole.
    ScratchDriveC c;
    writeFile(c.hostPath("out/Scans.pdf"), "the user's document");
    writeFile(c.hostPath("new.pdf"), "new");
    testing_support::PrivateMount noProc("/proc", "size=4k");
    if (!noProc.ok()) GTEST_SKIP() << noProc.reason().toStdString();
    killMidWrite(c);
    EXPECT_EQ(readFile(c.hostPath("out/Scans.pdf")), "the user's document");
    const QStringList left = links(c.hostPath("out"));
    ASSERT_EQ(left.size(), 2);
    EXPECT_TRUE(QRegularExpression("^\\.Scans\\.pdf\\.part-[a-z0-9]{8}$").match(left[0]).hasMatch())
        << left[0].toStdString();
    QFile::remove(c.hostPath("out/" + left[0]));
    win::copyFile("c:\\new.pdf", "c:\\out\\Scans.pdf");
    EXPECT_EQ(links(c.hostPath("out")), QStringList{"Scans.pdf"});
    EXPECT_EQ(readFile(c.hostPath("out/Scans.pdf")), "new");
}

TEST(FileReplacement, AUsersLinkOutsideTheWorkingFoldersIsFollowedToItsFile) {
    ScratchDriveC c;
    QTemporaryDir user;
    const QString docs = user.path() + "/docs/";
    writeFile(docs + "real.pdf", "old");
    QFile::setPermissions(docs + "real.pdf", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    writeFile(docs + "ro.pdf", "read-only");
    QFile::setPermissions(docs + "ro.pdf", QFile::ReadOwner);
    QDir().mkpath(c.hostPath("out"));
    const QString relative = QDir(c.hostPath("out")).relativeFilePath(docs + "real.pdf");
    const struct {
        const char* link;
        QString target;
        int error;
        const char* written;  // the user's file that gets the link's name as content
    } cases[] = {
        {"relative.pdf", relative, 0, "real.pdf"},
        {"chain.pdf", c.hostPath("out/relative.pdf"), 0, "real.pdf"},
        {"dangling.pdf", docs + "made.pdf", 0, "made.pdf"},
        {"loop.pdf", "loop2.pdf", win::kErrPathFileAccess, nullptr},
        {"loop2.pdf", "loop.pdf", win::kErrPathFileAccess, nullptr},
        {"folder.pdf", docs, win::kErrPathFileAccess, nullptr},
        {"ro.pdf", docs + "ro.pdf", win::kErrPermissionDenied, nullptr},
        {"nowhere.pdf", user.path() + "/none/x.pdf", win::kErrPathNotFound, nullptr},
    };
    for (const auto& k : cases) ASSERT_TRUE(QFile::link(k.target, c.hostPath("out/") + k.link));
    const QStringList made = links(c.hostPath("out"));
    for (const auto& k : cases) {
        SCOPED_TRACE(k.link);
        Tree others = treeSnapshot(docs);
        EXPECT_EQ(errorOf([&] { win::replaceFile(QString("c:\\out\\") + k.link, k.link); }), k.error);
        Tree now = treeSnapshot(docs);
        if (k.written) {
            EXPECT_EQ(readFile(docs + k.written), k.link);
            others.remove(k.written);
            now.remove(k.written);
        }
        EXPECT_TRUE(now == others) << entries(docs);
        EXPECT_EQ(links(c.hostPath("out")), made);
    }
    EXPECT_EQ(QFile::permissions(docs + "real.pdf"),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadUser | QFile::WriteUser);

    // Another user's link in a folder anyone may write to is not followed there.
    QDir().mkpath(user.path() + "/shared");
    ASSERT_TRUE(QFile::link(docs + "real.pdf", user.path() + "/shared/planted.pdf"));
    ::chmod(QFile::encodeName(user.path() + "/shared").constData(), 01777);
    if (::lchown(QFile::encodeName(user.path() + "/shared/planted.pdf").constData(), 4242, 4242) != 0)
        GTEST_SKIP() << "a link of another user cannot be made here";
    EXPECT_EQ(errorOf([&] { win::replaceFile(win::fromHostPath(user.path() + "/shared/planted.pdf"), "x"); }),
              win::kErrPermissionDenied);
    EXPECT_EQ(readFile(docs + "real.pdf"), "chain.pdf");
}
