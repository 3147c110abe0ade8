// The program itself: a second copy started while one runs ends at once, before it touches
// anything.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using testing_support::waitUntil;

TEST(SecondInstance, EndsAtOnceWithoutTouchingTheWorkFolders) {
    const QString built = QString(LUMIDOC_PROGRAM_DIR) + "/lumidoc";
    if (!QFile::exists(built))
        GTEST_SKIP() << "the program is not built";
    QTemporaryDir program, drive, runtime;
    ASSERT_TRUE(QFile::copy(built, program.path() + "/lumidoc"));
    ASSERT_TRUE(testing_support::writeFile(program.path() + "/wizard.ini", "0\r\n"));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("LUMIDOC_DRIVE_C", drive.path());
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    // The first copy's start-up ends by deleting c:\tmp: once it is gone, that start-up is over
    // and the folder may be filled again.
    ASSERT_TRUE(testing_support::writeFile(drive.path() + "/tmp/left.txt", "earlier run"));
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(program.path() + "/lumidoc", {});
    ASSERT_TRUE(first.waitForStarted(30000));
    ASSERT_TRUE(waitUntil([&] {
        return QDir(drive.path() + "/OCRtmp").exists() && !QDir(drive.path() + "/tmp").exists();
    }, 60000));
    ASSERT_TRUE(testing_support::writeFile(drive.path() + "/tmp/keep.txt", "mine"));

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(program.path() + "/lumidoc", {});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(drive.path() + "/tmp/keep.txt"));
    EXPECT_EQ(first.state(), QProcess::Running);

    first.kill();
    first.waitForFinished(5000);
}
