// What the file layer may touch: working folders are never written or emptied through a link,
// a read-only file is not replaced, a file replaced keeps its permissions and group and a new
// one gets no more than the umask gives, a write killed midway leaves nothing new beside its
// file, a link the user made outside the working folders is followed to its file, drive C is
// never a folder that holds the user's own files, and a quoted argument reaches a program whole.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <signal.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "AnotherUsersLink.h"
#include "SmallFileSystem.h"
#include "ScopedEnvironment.h"
#include "TestSupport.h"
#include "forms/SequentialFile.h"
#include "win/CommandLine.h"
#include "win/FileSystem.h"
#include "win/RuntimeError.h"
#include "win/SafeTree.h"
#include "win/WinPath.h"

using testing_support::permissionsOf;
using testing_support::readFile;
using testing_support::setPermissions;
using testing_support::ScopedEnvironment;
using testing_support::ScratchDriveC;
using testing_support::treeSnapshot;
using testing_support::writeFile;

namespace {

// A folder of the user's outside drive C, with a little of everything in it.
struct UserFolder {
    QTemporaryDir dir;
    UserFolder() {
        writeFile(path("info.txt"), "the user's info");
        writeFile(path("tmp1.pdf"), "%PDF the user's");
        writeFile(path("sub/deep.txt"), "deep");
        writeFile(path("ro.txt"), "read-only");
        QFile::setPermissions(path("ro.txt"), QFileDevice::ReadOwner);
    }
    ~UserFolder() { QFile::setPermissions(path("ro.txt"), QFileDevice::ReadOwner | QFileDevice::WriteOwner); }
    QString path(const QString& name = QString()) const {
        return name.isEmpty() ? dir.path() : dir.path() + "/" + name;
    }
};

// A folder's entries, each link with the path it names.
QStringList links(const QString& hostFolder) {
    QStringList out;
    const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QFileInfo& f : QDir(hostFolder).entryInfoList(all, QDir::Name))
        out << f.fileName() + (f.isSymLink() ? " -> " + f.symLinkTarget() : QString());
    return out;
}

// A child replaces c:\out\Scans.pdf and is killed once it has written part of it: the output
// folder's entries while it wrote, and after.
std::pair<QStringList, QStringList> killMidWrite(const ScratchDriveC& c) {
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
    const QStringList during = links(c.hostPath("out"));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(wrote);
    return {during, links(c.hostPath("out"))};
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

TEST(WorkingFiles, AreNeverWrittenOrDeletedThroughALinkedWorkingFolder) {
    ScratchDriveC c;
    UserFolder user;
    const auto before = treeSnapshot(user.path());
    ASSERT_TRUE(QFile::link(user.path(), c.hostPath("tmp")));
    writeFile(c.hostPath("page.pdf"), "page");

    EXPECT_NE(errorOf([] { win::killFile("c:\\tmp\\info.txt"); }), 0);
    EXPECT_NE(errorOf([] { win::killFile("C:\\TMP\\Tmp1.PDF"); }), 0);
    EXPECT_NE(errorOf([] { win::replaceFile("c:\\tmp\\info.txt", "run's info"); }), 0);
    EXPECT_NE(errorOf([] { win::appendToFile("c:\\tmp\\info.txt", "more"); }), 0);
    EXPECT_NE(errorOf([] { win::copyFile("c:\\page.pdf", "c:\\tmp\\tmp1.pdf"); }), 0);
    EXPECT_NE(errorOf([] { forms::SequentialWriter w("c:\\tmp\\info.txt"); }), 0);
    EXPECT_NE(errorOf([] { win::makeFolder("c:\\tmp\\sub\\new"); }), 0);
    EXPECT_EQ(treeSnapshot(user.path()), before);

    // Making the working folder puts a real folder where the link was.
    win::makeFolder("c:\\tmp");
    EXPECT_FALSE(QFileInfo(c.hostPath("tmp")).isSymLink());
    EXPECT_TRUE(QFileInfo(c.hostPath("tmp")).isDir());
    win::replaceFile("c:\\tmp\\info.txt", "run's info");
    EXPECT_EQ(readFile(c.hostPath("tmp/info.txt")), "run's info");
    EXPECT_EQ(treeSnapshot(user.path()), before);
}

TEST(WorkingFiles, ALinkInPlaceOfAWorkingFileIsReplacedAsALink) {
    ScratchDriveC c;
    UserFolder user;
    const auto before = treeSnapshot(user.path());
    writeFile(c.hostPath("jpgtmp/0.pdf"), "page 0");
    for (const char* name : {"jpgtmp/1.pdf", "tmp/info.txt", "tmp/tmp1.pdf", "tmp/tmp.bmp"})
        QDir().mkpath(QFileInfo(c.hostPath(name)).absolutePath());
    ASSERT_TRUE(QFile::link(user.path("info.txt"), c.hostPath("tmp/info.txt")));
    ASSERT_TRUE(QFile::link(user.path("tmp1.pdf"), c.hostPath("tmp/tmp1.pdf")));
    ASSERT_TRUE(QFile::link(user.path("ro.txt"), c.hostPath("tmp/tmp.bmp")));
    ASSERT_TRUE(QFile::link(user.path("sub"), c.hostPath("jpgtmp/1.pdf")));

    forms::SequentialWriter info("c:\\tmp\\info.txt");
    info.print("InfoKey: Title");
    info.close();
    win::copyFile("c:\\jpgtmp\\0.pdf", "c:\\tmp\\tmp1.pdf");
    win::replaceFile("c:\\tmp\\tmp.bmp", "BM");
    win::killFile("c:\\jpgtmp\\1.pdf");

    EXPECT_EQ(readFile(c.hostPath("tmp/info.txt")), "InfoKey: Title\r\n");
    EXPECT_EQ(readFile(c.hostPath("tmp/tmp1.pdf")), "page 0");
    EXPECT_EQ(readFile(c.hostPath("tmp/tmp.bmp")), "BM");
    EXPECT_FALSE(QFileInfo::exists(c.hostPath("jpgtmp/1.pdf")));
    EXPECT_EQ(treeSnapshot(user.path()), before);
}

TEST(WorkingFiles, FoldersOutsideTheWorkingFoldersMayBeTheUsersLinks) {
    // The output folder is the user's to lay out: a link there is followed as usual.
    ScratchDriveC c;
    UserFolder user;
    ASSERT_TRUE(QFile::link(user.path(), c.hostPath("output")));
    writeFile(c.hostPath("page.pdf"), "result");
    win::copyFile("c:\\page.pdf", "c:\\output\\Scans.pdf");
    EXPECT_EQ(readFile(user.path("Scans.pdf")), "result");
}

TEST(CopyFile, AReadOnlyTargetStaysAndNoOtherFileIsTouched) {
    ScratchDriveC c;
    writeFile(c.hostPath("new.pdf"), "new");
    writeFile(c.hostPath("out/Scans.pdf"), "old");
    QFile::setPermissions(c.hostPath("out/Scans.pdf"), QFileDevice::ReadOwner);
    // Files of the user's with the names a side file might have had.
    writeFile(c.hostPath("out/Scans.pdf.copying"), "mine");
    writeFile(c.hostPath("out/.Scans.pdf.part-aaaaaaaa"), "mine too");
    const auto before = treeSnapshot(c.hostPath("out"));

    EXPECT_EQ(errorOf([] { win::copyFile("c:\\new.pdf", "c:\\out\\Scans.pdf"); }),
              win::kErrPermissionDenied);
    EXPECT_EQ(errorOf([] { win::replaceFile("c:\\out\\Scans.pdf", "new"); }),
              win::kErrPermissionDenied);
    EXPECT_EQ(treeSnapshot(c.hostPath("out")), before);

    // A writable target is replaced, and only the copy's own side file ever existed.
    QFile::setPermissions(c.hostPath("out/Scans.pdf"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    win::copyFile("c:\\new.pdf", "c:\\out\\Scans.pdf");
    EXPECT_EQ(readFile(c.hostPath("out/Scans.pdf")), "new");
    EXPECT_EQ(QDir(c.hostPath("out")).entryList(QDir::Files | QDir::Hidden).size(), 3);
    EXPECT_EQ(readFile(c.hostPath("out/Scans.pdf.copying")), "mine");
    EXPECT_EQ(readFile(c.hostPath("out/.Scans.pdf.part-aaaaaaaa")), "mine too");
}

TEST(FileReplacement, AFileKeepsItsPermissionsAndANewOneGetsTheUmasks) {
    ScratchDriveC c;
    const QString target = c.hostPath("out/Scans.pdf");
    const struct {
        const char* what;
        int before;     // the target's permissions, -1: no target yet
        mode_t source;  // those of the file copied
        mode_t umask;
        const char* after;
    } cases[] = {
        {"a private file", 0600, 0644, 022, "0600"},
        {"a file of the group's", 0660, 0600, 077, "0660"},
        {"a new file under a private umask", -1, 0644, 077, "0600"},
        {"a new file from a wider one", -1, 0775, 022, "0644"},
        {"a new copy of a private file", -1, 0600, 002, "0600"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        QFile::remove(target);
        if (k.before >= 0) {
            writeFile(target, "old");
            setPermissions(target, k.before);
        }
        writeFile(c.hostPath("page.pdf"), "new");
        setPermissions(c.hostPath("page.pdf"), k.source);
        const mode_t umask = ::umask(k.umask);
        win::copyFile("c:\\page.pdf", "c:\\out\\Scans.pdf");
        ::umask(umask);
        EXPECT_EQ(readFile(target), "new");
        EXPECT_EQ(permissionsOf(target), k.after);
    }
}

TEST(FileReplacement, AFileKeepsTheGroupTheUserGaveIt) {
    ScratchDriveC c;
    const QByteArray settings = QFile::encodeName(c.hostPath("program/setting.dll"));
    writeFile(settings, "old");
    // A group the user may give a file besides its own: any for root, else one the user is in.
    std::vector<gid_t> groups(64);
    groups.resize(std::max(0, ::getgroups(int(groups.size()), groups.data())));
    groups.push_back(4242);
    const auto given = std::find_if(groups.begin(), groups.end(), [&](gid_t g) {
        return g != ::getegid() && ::chown(settings.constData(), uid_t(-1), g) == 0;
    });
    if (given == groups.end()) GTEST_SKIP() << "no second group can be given a file here";
    win::replaceFile("c:\\program\\setting.dll", "new");
    struct stat st;
    ASSERT_EQ(::stat(settings.constData(), &st), 0);
    EXPECT_EQ(st.st_gid, *given);
    EXPECT_EQ(readFile(settings), "new");
}

TEST(FileReplacement, AGroupTheUserMayNotGiveLeavesTheFileWithTheUsersOwn) {
    // Another user, outside the file's group, replaces it in a folder anyone may write to.
    ScratchDriveC c;
    const QByteArray settings = QFile::encodeName(c.hostPath("program/setting.dll"));
    writeFile(settings, "old");
    setPermissions(c.hostPath(), 0755);
    setPermissions(c.hostPath("program"), 0777);
    if (::chown(settings.constData(), uid_t(-1), 4242) != 0) GTEST_SKIP() << "no file of another group can be made here";
    setPermissions(settings, 0640);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(4343) != 0 || ::setuid(4343) != 0) ::_exit(2);
        ::_exit(win::skipOnError([] { win::replaceFile("c:\\program\\setting.dll", "new"); }) ? 0 : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2) GTEST_SKIP() << "no other user can be played here";
    EXPECT_EQ(status, 0);
    struct stat st;
    ASSERT_EQ(::stat(settings.constData(), &st), 0);
    EXPECT_EQ(st.st_gid, 4343u);
    EXPECT_EQ(permissionsOf(settings), "0640");
    EXPECT_EQ(readFile(settings), "new");
}

TEST(FileReplacement, AWriteKilledMidwayLeavesTheFileWholeAndNothingNewBesideIt) {
    // Without /proc an unnamed file cannot be named: a side file stands in, and a write killed
    // midway leaves that side file.
    for (const bool hideProc : {false, true}) {
        SCOPED_TRACE(hideProc ? "without /proc" : "with /proc");
        ScratchDriveC c;
        writeFile(c.hostPath("out/Scans.pdf"), "the user's document");
        std::optional<testing_support::SmallFileSystem> noProc;
        if (hideProc) noProc.emplace("/proc", "size=4k");
        LUMIDOC_TEST_RUNS_ONLY_IF(!noProc || noProc->ok(), noProc->reason().toStdString());
        const auto [during, after] = killMidWrite(c);
        EXPECT_EQ(readFile(c.hostPath("out/Scans.pdf")), "the user's document");
        if (!hideProc) {
            EXPECT_EQ(during, QStringList{"Scans.pdf"});
            EXPECT_EQ(after, QStringList{"Scans.pdf"});
        } else {
            ASSERT_EQ(after.size(), 2);
            EXPECT_TRUE(QRegularExpression("^\\.Scans\\.pdf\\.part-[a-z0-9]{8}$").match(after[0]).hasMatch());
        }
    }
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
        const auto before = treeSnapshot(docs);
        EXPECT_EQ(errorOf([&] { win::replaceFile(QString("c:\\out\\") + k.link, k.link); }), k.error);
        if (k.written) EXPECT_EQ(readFile(docs + k.written), k.link);
        else EXPECT_EQ(treeSnapshot(docs), before);
        EXPECT_EQ(links(c.hostPath("out")), made);
    }
    EXPECT_EQ(QFile::permissions(docs + "real.pdf"),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadUser | QFile::WriteUser);
}

TEST(FileReplacement, AnotherUsersLinkInAFolderAnyoneMayWriteToIsNotFollowed) {
    QTemporaryDir user;
    const testing_support::AnotherUsersLink planted(user.path(), "mine");
    LUMIDOC_TEST_RUNS_ONLY_IF(planted.ok(), planted.reason().toStdString());
    EXPECT_EQ(errorOf([&] { win::replaceFile(win::fromHostPath(planted.link()), "x"); }),
              win::kErrPermissionDenied);
    EXPECT_EQ(readFile(planted.file()), "mine");
}

TEST(DriveC, AFolderThatCouldHoldTheUsersFilesIsRefused) {
    const QStringList homes{"/home/ann", "/srv/users/ann/"};
    for (const char* bad : {"/", "//", "/home", "/home/", "/home/ann", "/home/ann/", "/home/./ann",
                            "/home/bob/../ann", "/srv", "/srv/users", "/srv/users/ann", ".", "",
                            "drive_c", "~/drive_c", "../x"}) {
        EXPECT_TRUE(win::driveCFolderRefused(bad, homes)) << bad;
    }
    for (const char* good : {"/home/ann/.local/share/lumidoc/drive_c", "/home/ann/x", "/tmp/c",
                             "/home/bob", "/home/anna", "/srv/users/ann/drive_c"}) {
        EXPECT_FALSE(win::driveCFolderRefused(good, homes)) << good;
    }
}

TEST(DriveC, TheSettingIsCheckedAgainstTheHomeFolderAndItsLinks) {
    QTemporaryDir root;  // a fake root: home folders and drive folders all live in it
    const QString home = root.path() + "/home/ann";
    QDir().mkpath(home + "/docs");
    writeFile(home + "/tmp/keep.txt", "mine");
    ASSERT_TRUE(QFile::link(home, root.path() + "/to-home"));
    const auto before = treeSnapshot(root.path());
    const QByteArray homeBytes = home.toLocal8Bit();
    ScopedEnvironment env{{"HOME", homeBytes.constData()}, {"XDG_DATA_HOME", nullptr}};

    for (const QString& bad : {home, home + "/", root.path() + "/home", root.path() + "/to-home",
                               QStringLiteral("/"), QStringLiteral("."), QStringLiteral("tmp")}) {
        const QByteArray badBytes = bad.toLocal8Bit();
        ScopedEnvironment drive{{"LUMIDOC_DRIVE_C", badBytes.constData()}};
        const win::DriveCSetting d = win::driveCSetting();
        EXPECT_FALSE(d.usable) << bad.toStdString();
        EXPECT_EQ(d.folder, bad);
        EXPECT_EQ(d.variable, "LUMIDOC_DRIVE_C");
        // Drive C is then a missing drive: nothing on it can be reached.
        EXPECT_EQ(win::driveCFolder(), "");
        EXPECT_TRUE(win::toHostPath("c:\\tmp\\keep.txt").startsWith("/nonexistent-drive-C/"));
        // Paths that need no drive C (the launcher's own folder) still map both ways.
        EXPECT_TRUE(win::fromHostPath(home + "/tmp").startsWith("Z:"));
        EXPECT_EQ(win::toHostPath(win::fromHostPath(home + "/tmp")), home + "/tmp");
    }
    EXPECT_EQ(treeSnapshot(root.path()), before);

    {
        const QByteArray drive = (home + "/drive").toLocal8Bit();
        ScopedEnvironment set{{"LUMIDOC_DRIVE_C", drive.constData()}};
        EXPECT_TRUE(win::driveCSetting().usable);
        EXPECT_EQ(win::toHostPath("c:\\tmp"), home + "/drive/tmp");
    }

    // By default drive C lies under the home folder; without a usable HOME the password
    // database names it.
    ScopedEnvironment byDefault{{"LUMIDOC_DRIVE_C", nullptr}};
    EXPECT_EQ(win::driveCSetting().folder, home + "/.local/share/lumidoc/drive_c");
    EXPECT_EQ(win::driveCSetting().variable, "");
    // The password database names the user's own home, where drive C is then made: on a file
    // system of the test's own laid over it.
    const testing_support::SmallFileSystem overHome(QFile::decodeName(getpwuid(getuid())->pw_dir),
                                                    "size=1m");
    SKIP_WITHOUT_SMALL_FILE_SYSTEM(overHome);
    for (const char* unusable : {(const char*)nullptr, "", "relative"}) {
        ScopedEnvironment noHome{{"HOME", unusable}};
        const win::DriveCSetting d = win::driveCSetting();
        EXPECT_TRUE(d.folder.startsWith('/')) << d.folder.toStdString();
        EXPECT_FALSE(d.folder.startsWith("/.local")) << d.folder.toStdString();
        EXPECT_TRUE(d.folder.endsWith("/.local/share/lumidoc/drive_c"));
        EXPECT_TRUE(d.usable);
    }
}

TEST(DriveC, AFolderIsUsedOnlyWhenItIsTheSuitesOwn) {
    QTemporaryDir root;
    const auto at = [&](const QString& name) { return root.path() + "/" + name; };
    QDir().mkpath(at("empty"));
    writeFile(at("marked/" + QString(win::kDriveCMark)), "");
    writeFile(at("marked/anything.txt"), "theirs");
    writeFile(at("earlier/tmp/tmp.bmp"), "BM");
    writeFile(at("earlier/OCRtmp/0001.txt"), "page");
    writeFile(at("var/tmp/session"), "system's");
    writeFile(at("var/log/syslog"), "system's");
    writeFile(at("file"), "a file");
    writeFile(at("linked/real/x"), "x");
    ASSERT_TRUE(QFile::link(at("linked/real"), at("linked/tmp")));
    writeFile(at("plain-tmp/tmp"), "a file called tmp");
    const struct {
        const char* folder;
        bool usable;
    } cases[] = {{"new", true},      {"empty", true}, {"marked", true},    {"earlier", true},
                 {"var", false},     {"file", false}, {"linked", false}, {"plain-tmp", false}};
    for (const auto& k : cases) {
        const QByteArray folder = at(k.folder).toLocal8Bit();
        const auto before = treeSnapshot(root.path());
        ScopedEnvironment drive{{"LUMIDOC_DRIVE_C", folder.constData()}};
        EXPECT_EQ(win::driveCSetting().usable, k.usable) << k.folder;
        // A folder taken is marked as the suite's; one refused is left exactly as it was.
        if (k.usable) EXPECT_TRUE(QFileInfo(at(k.folder) + "/" + win::kDriveCMark).isFile()) << k.folder;
        else EXPECT_EQ(treeSnapshot(root.path()), before) << k.folder;
    }
}

TEST(CommandLine, AQuotedArgumentComesBackWhole) {
    for (const QString& arg :
         {QStringLiteral("C:\\out\\report-3-7-9-5-2.txt"), QStringLiteral("Z:\\a\\my\"doc-1.txt"),
          QStringLiteral("a \"quoted\" name"), QStringLiteral("ends in \\"), QStringLiteral("\\\\\""),
          QStringLiteral(""), QStringLiteral("tab\tand  spaces"), QStringLiteral("\"\"")}) {
        EXPECT_EQ(win::splitCommandLine("prog.exe " + win::quoteArgument(arg)),
                  QStringList({"prog.exe", arg}))
            << arg.toStdString();
    }
    EXPECT_EQ(win::quoteArgument("C:\\out\\a b.txt"), "\"C:\\out\\a b.txt\"");
}
