// A page that does not make it into the result ends the run with a message that names it and
// why: a document that cannot be opened, a page that cannot be rendered or written, an engine
// that fails, a result that cannot take a page. "OCR Completed." only when every page made it.
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include "RecognitionFixture.h"
#include "ScopedEnvironment.h"

using namespace recognition_test;

namespace {

const QString kNothingSaved = "No page has been saved to:\r\n";
const QString kLaterPagesLeft = "Pages 2 to 3 were not processed.\r\n";

void runAllPages(frmOCR& f) {
    f.show();
    f.Option3->click();
    f.cmdStart->click();
}

}  // namespace

TEST(RecognitionFailure, ADocumentThatCannotBeOpenedAsTheCodePageCarriesItIsNotOpened) {
    testing_support::ScopedEnvironment western{{"LUMIDOC_ACP", "1252"}};
    const struct {
        const char* what;
        QString docPath, password, failure;
    } cases[] = {
        // Through the code page the name would become "?mega.pdf", another file that is there.
        {"path", QString::fromUtf8("C:\\docs\\Ωmega.pdf"), "",
         QString::fromUtf8("Page 1 could not be opened: code page 1252 cannot carry the "
                           "document's path C:\\docs\\Ωmega.pdf.")},
        {"password", "C:\\docs\\locked.pdf", QString::fromUtf8("密码"),
         "Page 1 could not be opened: code page 1252 cannot carry the password."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RunHarness h(1);
        const QString plain = h.drive.hostPath("docs/report.final.pdf");
        QFile::copy(plain, h.drive.hostPath(QString::fromUtf8("docs/Ωmega.pdf")));
        QFile::copy(plain, h.drive.hostPath("docs/?mega.pdf"));
        ASSERT_EQ(testing_support::runProgram(
                      "qpdf", {"--encrypt", QString::fromUtf8("密码"), "owner", "256", "--", plain,
                               h.drive.hostPath("docs/locked.pdf")}),
                  0);
        DocPath = c.docPath;
        DocPassword = c.password;
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        f.show();
        f.cmdStart->click();
        EXPECT_TRUE(h.engineCalls().isEmpty());
        const QStringList results = QDir(h.drive.hostPath("out")).entryList(QDir::Files);
        ASSERT_EQ(results.size(), 1);
        EXPECT_EQ(readFile(h.drive.hostPath("out/" + results[0])), bom());
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_EQ(ui.shown[0].prompt, "OCR Not Completed.\r\n" + c.failure + "\r\n" +
                                          kNothingSaved + "C:\\out\\" + results[0]);
    }
    DocPassword = "";
}

TEST(RecognitionFailure, APageThatCannotBeRenderedEndsTheRunThere) {
    {
        // 593 bytes, one page of 200 x 200 inches: at the least resolution, 96 dpi, beyond
        // 2^28 pixels.
        RunHarness h(0);
        QDir().mkpath(h.drive.hostPath("docs"));
        ASSERT_TRUE(QFile::copy(LUMIDOC_TEST_DATA "/pdf/page-200-inches.pdf",
                                h.drive.hostPath("docs/report.final.pdf")));
        h.view.pageCount = h.view.currentPage = 1;
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        f.show();
        f.cmdStart->click();
        expectNotCompleted(h, f, ui,
                           "Page 1 could not be rendered: its image would be 19200 x 19200 pixels "
                           "at 96 x 96 dpi, more than 268435456 pixels or 32767 a side.",
                           kNothingSaved);
        EXPECT_TRUE(h.engineCalls().isEmpty());
        EXPECT_EQ(h.onlyResult(), bom());
        EXPECT_EQ(f.lblPage->text(), "Processed: ");
    }
    {
        // The viewer counts more pages than the renderer finds.
        RunHarness h(2);
        h.view.pageCount = 4;
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        runAllPages(f);
        expectNotCompleted(h, f, ui, "Page 3 could not be rendered: the document has no such page.",
                           "Page 4 was not processed.\r\n2 pages have been saved to:\r\n");
        EXPECT_EQ(h.onlyResult(), bom() + "page 0001\npage 0002\n");
        EXPECT_EQ(f.lblPage->text(), "Processed: 2 Page(s)");
    }
}

TEST(RecognitionFailure, AFullDiskEndsTheRunNamingTheFileAndTheCause) {
    {
        // Drive C has no room for the page image.
        RunHarness h(3, QSizeF(200, 60), 128 * 1024);
        if (!h.smallDrive->skipReason().isEmpty())
            GTEST_SKIP() << h.smallDrive->skipReason().toStdString();
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        runAllPages(f);
        expectNotCompleted(h, f, ui,
                           "Page 1 could not be written to c:\\ocrtmp\\0001.tif: " +
                               h.smallDrive->errorText() + ".",
                           kLaterPagesLeft + kNothingSaved);
        EXPECT_TRUE(h.engineCalls().isEmpty());
        EXPECT_EQ(h.onlyResult(), bom());
    }
    {
        // The output folder has 4 KB: the second page of 2500 bytes does not fit; the result
        // keeps the first page whole.
        RunHarness h(3, QSizeF(10, 10));
        installStandInEngine(h.engineLog, "printf '%2500s' \"${2##*/}\" > \"$2.txt\"; exit 0");
        SmallDisk out(h.drive.hostPath("out"), 4096);
        if (!out.skipReason().isEmpty()) GTEST_SKIP() << out.skipReason().toStdString();
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        runAllPages(f);
        expectNotCompleted(h, f, ui,
                           "Page 2 could not be added to the result file: " + out.errorText() + ".",
                           "Page 3 was not processed.\r\n1 page has been saved to:\r\n");
        EXPECT_EQ(h.onlyResult(), bom() + QByteArray(2496, ' ') + "0001");
        EXPECT_EQ(f.lblPage->text(), "Processed: 1 Page(s)");
    }
    {
        // Not even the byte-order mark fits: no page is tried, and the empty file goes again.
        RunHarness h(1);
        SmallDisk out(h.drive.hostPath("out"), 4096);
        if (!out.skipReason().isEmpty()) GTEST_SKIP() << out.skipReason().toStdString();
        out.fill();
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        f.show();
        f.cmdStart->click();
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_TRUE(
            ui.shown[0].prompt.startsWith("Cannot create the result file:\r\nC:\\out\\report-"));
        EXPECT_TRUE(ui.shown[0].prompt.endsWith(".txt\r\n" + out.errorText()));
        EXPECT_TRUE(h.results().isEmpty());
        EXPECT_TRUE(h.engineCalls().isEmpty());
        EXPECT_TRUE(f.isVisible());
    }
}

TEST(RecognitionFailure, AnEngineThatFailsOrLeavesNoTextEndsTheRunAtThatPage) {
    QTemporaryDir user;
    const QString secret = user.path() + "/secret.txt";
    writeFile(secret, "the user's secret\n");
    const struct {
        const char* engine;  // runs in the stand-in before it writes the page text
        QString failure;     // empty: the page is an empty page and the run completes
    } cases[] = {
        {"exit 1", "Page 1 could not be recognised: the engine failed (exit status 1)."},
        {"echo 'no such language' >&2; exit 3",
         "Page 1 could not be recognised: the engine failed (exit status 3) and said: no such "
         "language"},
        {"kill -KILL $$", "Page 1 could not be recognised: the engine failed (ended by signal 9)."},
        {"[ \"${2##*/}\" = 0001 ] && ln -s '' \"$2.txt\" && exit 0",
         "Page 1 could not be read from c:\\ocrtmp\\0001.txt: Too many levels of symbolic links."},
        {"[ \"${2##*/}\" = 0001 ] && : > \"$2.txt\" && exit 0", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.engine);
        RunHarness h(3);
        QString engine = QString::fromUtf8(c.engine);
        engine.replace("''", "'" + secret + "'");
        installStandInEngine(h.engineLog, engine);
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        runAllPages(f);
        if (c.failure.isEmpty()) {
            EXPECT_EQ(ui.shown.value(0).title, "Completed");
            EXPECT_EQ(h.onlyResult(), bom() + "page 0002\npage 0003\n");
            continue;
        }
        expectNotCompleted(h, f, ui, c.failure, kLaterPagesLeft + kNothingSaved);
        EXPECT_EQ(h.engineCalls().size(), 1);
        EXPECT_EQ(h.onlyResult(), bom());
    }
}

TEST(RecognitionFailure, AFileInTheEnginesWayThatCannotGoEndsTheRunBeforeTheEngine) {
    RunHarness h(1);
    forms::ScriptedUi ui;
    frmOCR f(h.view.viewer());
    f.show();
    ASSERT_TRUE(QDir().mkpath(h.drive.hostPath("OCRtmp/0001.hocr")));
    f.cmdStart->click();
    QDir(h.drive.hostPath("OCRtmp/0001.hocr")).removeRecursively();
    expectNotCompleted(h, f, ui,
                       "Page 1 could not be recognised: c:\\ocrtmp\\0001.hocr stands in the "
                       "engine's way and cannot be removed.",
                       kNothingSaved);
    EXPECT_TRUE(h.engineCalls().isEmpty());
}

TEST(RecognitionFailure, AFailureIsToldAfterAStopAndAfterTheDialogClosed) {
    for (bool closeDialog : {false, true}) {
        SCOPED_TRACE(closeDialog ? "closed" : "stopped");
        RunHarness h(3);
        installStandInEngine(h.engineLog, "exit 1");
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        f.show();
        f.Option3->click();
        // While the first page is in the engine.
        QObject::connect(f.PBS, &QProgressBar::valueChanged, &f, [&](int v) {
            if (v == 75)
                QTimer::singleShot(0, &f, [&] {
                    if (closeDialog)
                        f.close();
                    else
                        f.cmdStart->click();
                });
        });
        f.cmdStart->click();
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_TRUE(ui.shown[0].prompt.startsWith(
            "OCR Not Completed.\r\nPage 1 could not be recognised: the engine failed"));
        EXPECT_EQ(f.isVisible(), !closeDialog);
        EXPECT_EQ(f.timerDel->isActive(), !closeDialog) << "a closed dialog deletes nothing";
        EXPECT_TRUE(h.wordpadCalls(0).isEmpty());
        EXPECT_EQ(h.engineCalls().size(), 1);
    }
}
