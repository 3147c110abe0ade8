// Windows paths onto host paths, and the ANSI code page.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "win/CodePage.h"
#include "win/WinPath.h"

using testing_support::ScratchDriveC;
using testing_support::writeFile;

TEST(WinPath, DriveCMapsIntoItsFolderCaseInsensitively) {
    ScratchDriveC c;
    writeFile(c.hostPath("OCRtmp/Page.TXT"), "x");
    EXPECT_EQ(win::toHostPath("c:\\ocrtmp\\page.txt"), c.hostPath("OCRtmp/Page.TXT"));
    EXPECT_EQ(win::toHostPath("C:\\OCRTMP\\new.tif"), c.hostPath("OCRtmp/new.tif"));
    EXPECT_EQ(win::toHostPath("c:\\missing\\x"), c.hostPath("missing/x"));
    // ".." goes by name and stops at the drive's root, so no C: path leaves the drive's folder.
    EXPECT_EQ(win::toHostPath("c:\\ocrtmp\\.\\..\\tmp\\a"), c.hostPath("tmp/a"));
    EXPECT_EQ(win::toHostPath("c:\\..\\..\\etc\\passwd"), c.hostPath("etc/passwd"));
    EXPECT_EQ(win::toHostPath("c:\\.."), win::driveCFolder());
    EXPECT_EQ(win::toHostPath("Z:\\..\\usr\\..\\etc"), "/etc");
}

TEST(WinPath, DriveZIsTheHostRootAndOtherDrivesDoNotExist) {
    EXPECT_EQ(win::toHostPath("Z:\\usr\\bin"), "/usr/bin");
    EXPECT_EQ(win::toHostPath("z:\\USR\\BIN"), "/usr/bin");
    EXPECT_FALSE(QFileInfo::exists(win::toHostPath("D:\\")));
    EXPECT_TRUE(win::toHostPath("").isEmpty());
}

TEST(WinPath, HostPathsComeBackInWindowsForm) {
    ScratchDriveC c;
    EXPECT_EQ(win::fromHostPath(c.hostPath("tmp/a.jpg")), "C:\\tmp\\a.jpg");
    EXPECT_EQ(win::fromHostPath("/usr/share"), "Z:\\usr\\share");
    EXPECT_EQ(win::toHostPath(win::fromHostPath("/usr/share")), "/usr/share");
    EXPECT_TRUE(win::isDrivePath("c:\\x"));
    EXPECT_FALSE(win::isDrivePath("-l"));
    EXPECT_FALSE(win::isDrivePath("ab:\\"));
}

TEST(WinPath, ProgramFolderIsTheExecutablesFolder) {
    const QString app = win::appPath();
    EXPECT_FALSE(app.endsWith('\\'));
    EXPECT_EQ(win::toHostPath(app), QDir::cleanPath(QCoreApplication::applicationDirPath()));
}

TEST(CodePage, Windows1252CarriesWesternTextOnly) {
    qunsetenv("LUMIDOC_ACP");
    EXPECT_TRUE(win::ansiCanCarry(QString::fromUtf8("Café Müller €")));
    EXPECT_FALSE(win::ansiCanCarry(QString::fromUtf8("Ελληνικά.jpg")));
    EXPECT_FALSE(win::ansiCanCarry(QString::fromUtf8("a😀b")));
    EXPECT_EQ(win::toAnsi(QString::fromUtf8("é")), QByteArray("\xe9"));
    // What the code page cannot carry becomes "?", one per character (a surrogate pair too).
    EXPECT_EQ(win::toAnsi(QString::fromUtf8("aΩ😀b")), QByteArray("a??b"));
    EXPECT_EQ(win::fromAnsi(QByteArray("\x80")), QString::fromUtf8("€"));
}

TEST(CodePage, AnotherCodePageByEnvironment) {
    qputenv("LUMIDOC_ACP", "936");
    EXPECT_TRUE(win::ansiCanCarry(QString::fromUtf8("中文.pdf")));
    EXPECT_FALSE(win::ansiCanCarry(QString::fromUtf8("Ελληνικά€😀")));
    EXPECT_EQ(win::fromAnsi(win::toAnsi(QString::fromUtf8("中文"))), QString::fromUtf8("中文"));
    qunsetenv("LUMIDOC_ACP");
}
