// Damaged pictures, impossible titles and failing helpers: a clear message, no wrong document,
// nothing of the user's lost.
#include "ConversionFixture.h"

using testing_support::readFile;
using testing_support::writeFile;

namespace {

struct BadInput : ConversionFixture {
    // Nothing of the run's was written: no working folder, no settings, no output.
    void expectNothingWritten() {
        EXPECT_FALSE(QFileInfo::exists(driveC.hostPath("tmp")));
        EXPECT_FALSE(QFileInfo::exists(driveC.hostPath("jpgtmp")));
        EXPECT_FALSE(QFileInfo::exists(program.hostPath("setting.dll")));
        EXPECT_TRUE(runs.isEmpty());
        EXPECT_TRUE(shell.opened.isEmpty());
        EXPECT_EQ(shell.beeps, 0);
    }
    void expectWindowGivenBack() {
        EXPECT_TRUE(w->Command3->isEnabled());
        EXPECT_TRUE(toolbarEnabled());
        EXPECT_NE(w->lblPB->text(), "Done.");
    }
    QString cannotConvert(const QString& name) const {
        return "This file cannot be converted: it is missing, empty, damaged or not a picture.\r\n" + name +
               "\r\n\r\nNo PDF document was written.";
    }
};

}  // namespace

TEST_F(BadInput, EmptyMissingAndNonPictureFilesStopTheRunBeforeAnythingIsWritten) {
    const QString good = picture("good.png", FIF_PNG, 20, 20);
    const struct {
        const char* name;
        QByteArray bytes;
    } bad[] = {{"empty.jpg", ""}, {"notes.png", "just some text, not a picture\n"}, {"gone.tif", "x"}};
    for (const auto& b : bad) {
        w->List1->clear();
        w->List2->clear();
        ui.shown.clear();
        add(good);
        const QString path = file(b.name, b.bytes);
        add(path, "shown as " + QString(b.name));
        if (QString(b.name) == "gone.tif") QFile::remove(pictures.path() + "/gone.tif");
        EXPECT_FALSE(convert());
        ASSERT_EQ(ui.shown.size(), 1) << b.name;
        EXPECT_EQ(ui.shown[0].prompt, cannotConvert("shown as " + QString(b.name)));
        EXPECT_EQ(ui.shown[0].title, "Convert");
        expectNothingWritten();
        expectWindowGivenBack();
        EXPECT_EQ(w->List1->count(), 2);  // the list is left for the user to mend
    }
}

TEST_F(BadInput, ATruncatedJpegStopsTheRunAndKeepsTheOldDocument) {
    writeFile(output(), "the user's earlier document");
    add(picture("one.png", FIF_PNG, 20, 20));
    const QString whole = pictures.path() + "/scan.jpg";
    ASSERT_TRUE(runkit::makePicture(whole, FIF_JPEG, 400, 300));
    const QByteArray bytes = readFile(whole);
    const QString cut = file("cut.jpg", bytes.left(bytes.size() * 6 / 10));
    add(cut, "My scan.jpg");
    EXPECT_FALSE(convert());
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].prompt, "This file cannot be converted: it is damaged, cut off before the end of its "
                                  "picture.\r\nMy scan.jpg\r\n\r\nNo PDF document was written.");
    EXPECT_EQ(ui.shown[0].style, forms::vbCritical);
    expectWindowGivenBack();
    EXPECT_EQ(w->pb->value(), 0);
    EXPECT_EQ(w->lblPB->text(), "0%");
    EXPECT_TRUE(runs.isEmpty());
    EXPECT_EQ(readFile(output()), "the user's earlier document");
    EXPECT_EQ(shell.beeps, 0);
}

TEST_F(BadInput, AJpegWithPaddingBeforeAMarkerConvertsAndOneWithBrokenScanDataDoesNot) {
    // Some writers leave stray bytes between the header's markers; the decoder warns, and the
    // picture is whole all the same.
    const QString whole = pictures.path() + "/scan.jpg";
    ASSERT_TRUE(runkit::makePicture(whole, FIF_JPEG, 40, 30));
    QByteArray bytes = readFile(whole);
    const qsizetype huffman = bytes.indexOf("\xFF\xC4");
    ASSERT_GT(huffman, 0);
    bytes.insert(huffman, QByteArray(3, '\0'));
    add(file("padded.jpg", bytes));
    EXPECT_FALSE(convert());
    EXPECT_TRUE(ui.shown.isEmpty()) << ui.shown.value(0).prompt.toStdString();
    const auto info = runkit::pdfInfo(output());
    EXPECT_EQ(info.value("Pages"), "1");
    EXPECT_NEAR(runkit::pageSize(info, 1).first, runkit::points(runkit::pageTenths(40)), 0.02);

    // Markers in the middle of the picture data: the rest of the picture is lost.
    ASSERT_TRUE(runkit::makePicture(whole, FIF_JPEG, 400, 300));
    bytes = readFile(whole);
    const qsizetype scan = bytes.indexOf("\xFF\xDA");
    ASSERT_GT(scan, 0);
    const qsizetype middle = (scan + bytes.size()) / 2;
    for (int i = 0; i < 20; ++i) bytes.replace(middle + 2 * i, 2, "\xFF\xD0");
    w->List1->clear();
    w->List2->clear();
    add(file("broken.jpg", bytes), "broken.jpg");
    EXPECT_FALSE(convert());
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].prompt, cannotConvert("broken.jpg"));
}

TEST_F(BadInput, TitlesThatCannotNameAFileAreRefused) {
    add(picture("a.png", FIF_PNG, 20, 20));
    for (const char* title : {"a/b", "Q1?", "x:y", "say \"hi\"", "a<b>", "pipe|d", "back\\slash", "", "   "}) {
        ui.shown.clear();
        w->txtTitle->setText(title);
        EXPECT_FALSE(convert());
        ASSERT_EQ(ui.shown.size(), 1) << title;
        EXPECT_EQ(ui.shown[0].title, "Document Title");
        EXPECT_TRUE(ui.shown[0].prompt.startsWith("The document title is the name of the PDF file"));
        expectNothingWritten();
        expectWindowGivenBack();
    }
}

TEST_F(BadInput, AnEmptyOutputFolderIsRefused) {
    add(picture("a.png", FIF_PNG, 20, 20));
    w->txtPath->setText("  ");
    EXPECT_FALSE(convert());
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].prompt, "Please enter the folder the PDF document goes into.");
    EXPECT_EQ(ui.shown[0].title, "Output Path");
    expectNothingWritten();
    expectWindowGivenBack();
}

TEST_F(BadInput, PicturesWithTheWrongOrAnUnknownExtensionGoByTheirContent) {
    picture("x.png", FIF_PNG, 30, 20);
    QFile::rename(pictures.path() + "/x.png", pictures.path() + "/really-a-png.jpg");
    add(win::fromHostPath(pictures.path() + "/really-a-png.jpg"));
    picture("y.jpg", FIF_JPEG, 20, 30);
    QFile::rename(pictures.path() + "/y.jpg", pictures.path() + "/photo.jfif");
    add(win::fromHostPath(pictures.path() + "/photo.jfif"));
    EXPECT_FALSE(convert());
    EXPECT_TRUE(ui.shown.isEmpty());
    const auto info = runkit::pdfInfo(output());
    EXPECT_EQ(info.value("Pages"), "2");
    EXPECT_NEAR(runkit::pageSize(info, 2).second, runkit::points(runkit::pageTenths(30)), 0.02);
}

TEST_F(BadInput, AFailingPdftkIsReportedAndNoStaleDocumentStandsIn) {
    // A failing join is named with what pdftk said; one that ends well yet writes nothing is
    // told too.
    const struct {
        const char* script;
        int runs;
        const char* message;
    } cases[] = {{"echo broken; exit 1", 1,
                  "pdftk could not join page 2 of 2 to the document (exit status 1), so no PDF "
                  "document was written.\r\n\r\npdftk said:\r\nbroken"},
                 {"exit 0", 2, "pdftk could not join the pages, so no PDF document was written."}};
    writeFile(output(), "the user's earlier document");
    add(picture("a.png", FIF_PNG, 20, 20));
    add(picture("b.png", FIF_PNG, 20, 20));
    for (const auto& c : cases) {
        runs.clear();
        ui.shown.clear();
        // What an earlier, broken run left behind must not become this run's document.
        writeFile(driveC.hostPath("tmp/tmpx.pdf"), readFile(LUMIDOC_SOURCE_DIR "/tests/folipress_run/pdfwrite_test.cpp"));
        testing_support::writeScript(program.hostPath("pdftk.exe"), c.script);
        EXPECT_FALSE(convert());
        EXPECT_EQ(runs.size(), c.runs);
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_EQ(ui.shown[0].prompt, c.message);
        EXPECT_EQ(ui.shown[0].style, forms::vbCritical);
        EXPECT_EQ(readFile(output()), "the user's earlier document");
        expectWindowGivenBack();
        EXPECT_TRUE(shell.opened.isEmpty());
    }
}

TEST_F(BadInput, APdftkThatCannotBeStartedStopsTheRunWithTheRunnersOneMessage) {
    writeFile(output(), "the user's earlier document");
    QFile::setPermissions(program.hostPath("pdftk.exe"), QFile::ReadOwner | QFile::WriteOwner);
    // One picture needs pdftk first for the information, more for the first join.
    for (const int pictures : {1, 3}) {
        SCOPED_TRACE(pictures);
        ui.shown.clear();
        w->List1->clear();
        w->List2->clear();
        for (int i = 0; i < pictures; ++i) add(picture(QString("%1.png").arg(i), FIF_PNG, 20, 20));
        EXPECT_FALSE(convert());
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_EQ(ui.shown[0].prompt, "File or command not found");
        EXPECT_EQ(ui.shown[0].style, forms::vbCritical);
        EXPECT_TRUE(runs.isEmpty());
        EXPECT_EQ(readFile(output()), "the user's earlier document");
        expectWindowGivenBack();
        EXPECT_EQ(w->lblPB->text(), "0%");
        EXPECT_TRUE(shell.opened.isEmpty());
        EXPECT_EQ(shell.beeps, 0);
    }
}

TEST_F(BadInput, AMissingPdftkIsNamedBeforeAnythingIsWritten) {
    QFile::remove(program.hostPath("pdftk.exe"));
    add(picture("a.png", FIF_PNG, 20, 20));
    EXPECT_FALSE(convert());
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].prompt, "pdftk.exe, which joins the pages, is missing from the program folder:\r\n" +
                                      forms::App::path());
    expectNothingWritten();
    expectWindowGivenBack();
}

TEST_F(BadInput, AnOutputFolderThatCannotBeMadeIsReported) {
    add(picture("a.png", FIF_PNG, 20, 20));
    w->txtPath->setText("C:\\no\\such\\folder");
    EXPECT_FALSE(convert());
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_TRUE(ui.shown[0].prompt.startsWith(
        "The PDF document could not be saved as\r\nC:\\no\\such\\folder\\Scans.pdf\r\n"))
        << ui.shown[0].prompt.toStdString();
    EXPECT_EQ(ui.shown[0].style, forms::vbCritical);
    expectWindowGivenBack();
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_EQ(shell.beeps, 0);
}
