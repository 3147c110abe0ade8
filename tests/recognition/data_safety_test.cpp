// The recognition run writes its page files only into a real work folder, never through a link,
// the engine writes only files of its own, and WordPad gets the result's path as one argument
// whatever characters it holds.
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>

#include <unistd.h>

#include "RecognitionFixture.h"
#include "forms/MessageBox.h"

using namespace recognition_test;
using testing_support::treeSnapshot;

TEST(RecognitionRun, AWorkFolderThatIsALinkIsNeitherWrittenNorEmptied) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    RunHarness h(1);
    QTemporaryDir user;
    for (const char* f : {"0001.tif", "0001.txt", "0001.jpg", "r0001.txt"})
        testing_support::writeFile(user.path() + "/" + f, QByteArray("the user's ") + f);
    const auto before = treeSnapshot(user.path());
    QDir(h.drive.hostPath("ocrtmp")).removeRecursively();
    ASSERT_TRUE(QFile::link(user.path(), h.drive.hostPath("OCRtmp")));
    forms::ScriptedUi ui;
    frmOCR f(h.view.viewer());
    f.show();
    f.cmdStart->click();
    EXPECT_EQ(h.onlyResult(), bom() + "page 0001\n");
    EXPECT_FALSE(QFileInfo(h.drive.hostPath("OCRtmp")).isSymLink());
    EXPECT_EQ(treeSnapshot(user.path()), before);
}

TEST(RecognitionRun, LinksPlantedUnderTheEnginesOutputNamesAreNotWrittenThrough) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    RunHarness h(1);
    QTemporaryDir user;
    writeFile(user.path() + "/notes.txt", "the user's notes\n");
    const auto before = treeSnapshot(user.path());
    forms::ScriptedUi ui;
    frmOCR f(h.view.viewer());
    // Made while the dialog is open: a hard link where the page text goes, a symbolic link where
    // another output form of the engine goes.
    ASSERT_EQ(::link(QFile::encodeName(user.path() + "/notes.txt").constData(),
                     QFile::encodeName(h.drive.hostPath("OCRtmp/0001.txt")).constData()), 0);
    ASSERT_TRUE(QFile::link(user.path() + "/notes.txt", h.drive.hostPath("OCRtmp/0001.hocr")));
    installStandInEngine(h.engineLog, "echo engine > \"$2.hocr\"");
    f.cmdStart->click();
    EXPECT_EQ(h.onlyResult(), bom() + "page 0001\n");
    EXPECT_EQ(treeSnapshot(user.path()), before);
}

TEST(RecognitionRun, WordPadGetsAResultNamedWithQuotesAsOneArgument) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    RunHarness h(1);
    makePdf(h.drive.hostPath("docs/my \"quoted\" doc.pdf"), {"page 1"}, QSizeF(200, 60));
    DocPath = "C:\\docs\\my \"quoted\" doc.pdf";
    forms::ScriptedUi ui;
    frmOCR f(h.view.viewer());
    f.show();
    f.cmdStart->click();
    ASSERT_EQ(h.results().size(), 0);
    const QStringList results =
        QDir(h.drive.hostPath("out")).entryList({"my \"quoted\" doc-*.txt"}, QDir::Files);
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(h.wordpadCalls(), QStringList{h.drive.hostPath("out/" + results[0])});
}
