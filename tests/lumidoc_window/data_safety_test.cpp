// The text-recognition program's start-up and shutdown touch nothing of the user's: work
// folders that are links lose the link only, and a drive C that holds the home folder ends the
// program before any file is touched.
#include "Form1.h"
#include "FormTestSupport.h"
#include "ScopedEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using form_test::Scene;
using testing_support::treeSnapshot;
using testing_support::writeFile;

TEST(RecognitionStartup, LinkedWorkFoldersLoseTheLinkOnlyAtStartAndAtExit) {
    Scene scene;
    QTemporaryDir user;
    for (const char* f : {"a/0001.tif", "a/sub/0001.txt", "b/tmpocr.tmp"}) writeFile(user.path() + "/" + f, f);
    const auto before = treeSnapshot(user.path());
    Form1 form;
    form.endProgram = [] {};
    ASSERT_TRUE(QFile::link(user.path() + "/a", scene.driveC("OCRtmp")));
    ASSERT_TRUE(QFile::link(user.path() + "/b", scene.driveC("TMP")));
    ASSERT_TRUE(form.Form_Load());
    form.Timer2->stop();
    EXPECT_TRUE(QFileInfo(scene.driveC("OCRtmp")).isDir());
    EXPECT_FALSE(QFileInfo(scene.driveC("OCRtmp")).isSymLink());
    EXPECT_FALSE(QFileInfo(scene.driveC("TMP")).isSymLink());
    EXPECT_EQ(treeSnapshot(user.path()), before);

    QDir(scene.driveC("OCRtmp")).removeRecursively();
    ASSERT_TRUE(QFile::link(user.path() + "/a", scene.driveC("ocrtmp")));
    ASSERT_TRUE(QFile::link(user.path() + "/b", scene.driveC("tmp")));
    form.Form_Unload();
    EXPECT_FALSE(QFileInfo(scene.driveC("ocrtmp")).isSymLink());
    EXPECT_FALSE(QFileInfo(scene.driveC("tmp")).isSymLink());
    EXPECT_EQ(treeSnapshot(user.path()), before);
}

TEST(RecognitionStartup, ADriveCThatIsTheHomeFolderEndsTheProgramUntouched) {
    Scene scene;
    QTemporaryDir home;
    for (const char* f : {"OCRtmp/page.txt", "ocrtmp/x", "tmp/notes.txt", "Tmp/more.txt"})
        writeFile(home.path() + "/" + f, f);
    const auto before = treeSnapshot(home.path());
    const QByteArray homeBytes = home.path().toLocal8Bit();
    {
        testing_support::ScopedEnvironment env{{"HOME", homeBytes.constData()},
                                               {"LUMIDOC_DRIVE_C", homeBytes.constData()}};
        Form1 form;
        int ended = 0;
        form.endProgram = [&] { ++ended; };
        EXPECT_FALSE(form.Form_Load());
        EXPECT_FALSE(form.Timer2->isActive());
        ASSERT_EQ(scene.ui.shown.size(), 1);
        EXPECT_EQ(scene.ui.shown[0].style, forms::vbCritical);
        EXPECT_TRUE(scene.ui.shown[0].prompt.contains("\r\n" + home.path() + "\r\n"));
        EXPECT_TRUE(scene.ui.shown[0].prompt.contains("LUMIDOC_DRIVE_C"));
    }
    EXPECT_EQ(treeSnapshot(home.path()), before);
}
