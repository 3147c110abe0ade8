// A page that does not make it into the result ends the run with a message that names it and
// why; "OCR Completed." only when every page made it.
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>

#include "RecognitionFixture.h"
#include "ScopedEnvironment.h"

using namespace recognition_test;

namespace {

const QString kFirstOfTwo = "Page 2 was not processed.\r\nNo page has been saved to:\r\n";

void replaceDocument(RunHarness& h, const QString& hostPath) {
    QFile::remove(h.drive.hostPath("docs/report.final.pdf"));
    ASSERT_TRUE(QFile::copy(hostPath, h.drive.hostPath("docs/report.final.pdf")));
}

}  // namespace

TEST(RecognitionFailure, APageThatDoesNotMakeItEndsTheRunWithItsCause) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    testing_support::ScopedEnvironment western{{"LUMIDOC_ACP", "1252"}};
    const QString password = QString::fromUtf8("密码");
    const struct {
        const char* what;
        std::function<void(RunHarness&)> setUp;
        QString failure;  // <error>: what the small disk says when full
        QString rest;
        QByteArray result;
    } cases[] = {
        {"a page of 200 x 200 inches, beyond 2^28 pixels even at 96 dpi",
         [](RunHarness& h) { replaceDocument(h, LUMIDOC_TEST_DATA "/pdf/page-200-inches.pdf"); },
         "Page 1 could not be rendered: its image would be 19200 x 19200 pixels at 96 x 96 dpi, "
         "more than 268435456 pixels or 32767 a side.",
         kFirstOfTwo, ""},
        {"a page the renderer does not find", [](RunHarness& h) { h.view.pageCount = 3; },
         "Page 3 could not be rendered: the document has no such page.",
         "2 pages have been saved to:\r\n", "page 0001\npage 0002\n"},
        {"no room for the page image",
         [](RunHarness& h) { h.smallDisk.emplace(h.drive.hostPath("OCRtmp"), 4096); },
         "Page 1 could not be written to c:\\ocrtmp\\0001.tif: <error>.", kFirstOfTwo, ""},
        {"4 KB for the result: the second page of 2500 bytes does not fit, and goes again",
         [](RunHarness& h) {
             makePdf(h.drive.hostPath("docs/report.final.pdf"), {"a", "b"}, QSizeF(10, 10));
             installStandInEngine(h.engineLog, "printf '%2500s' \"${2##*/}\" > \"$2.txt\"; exit 0");
             h.smallDisk.emplace(h.drive.hostPath("out"), 4096);
         },
         "Page 2 could not be added to the result file: <error>.",
         "1 page has been saved to:\r\n", QByteArray(2496, ' ') + "0001"},
        {"a password the code page cannot carry",
         [&](RunHarness& h) {
             const QString plain = h.drive.hostPath("docs/report.final.pdf");
             ASSERT_EQ(testing_support::runProgram("qpdf", {"--encrypt", password, "o", "256", "--",
                                                            plain, plain + ".locked"}), 0);
             replaceDocument(h, plain + ".locked");
             DocPassword = password;
         },
         "Page 1 could not be opened: code page 1252 cannot carry the password.", kFirstOfTwo, ""},
        {"a path the code page cannot carry, while the name it would become is there",
         [](RunHarness& h) {
             QDir().rename(h.drive.hostPath("docs"), h.drive.hostPath(QString::fromUtf8("dΩcs")));
             makePdf(h.drive.hostPath("d?cs/report.final.pdf"), {"another", "file"});
             DocPath = QString::fromUtf8("C:\\dΩcs\\report.final.pdf");
         },
         QString::fromUtf8("Page 1 could not be opened: code page 1252 cannot carry the "
                           "document's path C:\\dΩcs\\report.final.pdf."),
         kFirstOfTwo, ""},
        {"an engine that fails",
         [](RunHarness& h) { installStandInEngine(h.engineLog, "echo no such language >&2; exit 3"); },
         "Page 1 could not be recognised: the engine failed (exit status 3) and said: no such "
         "language",
         kFirstOfTwo, ""},
        {"a page text that is a link",
         [](RunHarness& h) { installStandInEngine(h.engineLog, "ln -s /dev/null \"$2.txt\"; exit 0"); },
         "Page 1 could not be read from c:\\ocrtmp\\0001.txt: Too many levels of symbolic links.",
         kFirstOfTwo, ""},
        {"a folder where the engine writes",
         [](RunHarness& h) { QDir().mkpath(h.drive.hostPath("OCRtmp/0001.hocr/x")); },
         "Page 1 could not be recognised: c:\\ocrtmp\\0001.hocr stands in the engine's way and "
         "cannot be removed.",
         kFirstOfTwo, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RunHarness h(2);
        c.setUp(h);
        if (h.smallDisk && !h.smallDisk->skipReason().isEmpty())
            GTEST_SKIP() << h.smallDisk->skipReason().toStdString();
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        runAllPages(f);
        QString failure = c.failure;
        if (h.smallDisk) failure.replace("<error>", h.smallDisk->errorText());
        expectNotCompleted(h, f, ui, failure, c.rest);
        EXPECT_EQ(h.onlyResult(), bom() + c.result);
    }
    DocPassword = "";
}

TEST(RecognitionFailure, AResultThatCannotTakeTheByteOrderMarkIsToldAndGoesAgain) {
    RunHarness h(1);
    h.smallDisk.emplace(h.drive.hostPath("out"), 2);
    if (!h.smallDisk->skipReason().isEmpty()) GTEST_SKIP() << h.smallDisk->skipReason().toStdString();
    writeFile(h.drive.hostPath("out/filler"), "f");  // the tmpfs's one page
    forms::ScriptedUi ui;
    frmOCR f(h.view.viewer());
    f.cmdStart->click();
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_TRUE(ui.shown[0].prompt.startsWith("Cannot create the result file:\r\nC:\\out\\report-"));
    EXPECT_TRUE(ui.shown[0].prompt.endsWith(".txt\r\n" + h.smallDisk->errorText()));
    EXPECT_TRUE(h.results().isEmpty());
    EXPECT_TRUE(h.engineCalls().isEmpty());
}

TEST(RecognitionFailure, AFailureIsToldAfterAStopAndAfterTheDialogClosed) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    for (bool closeDialog : {false, true}) {
        SCOPED_TRACE(closeDialog ? "closed" : "stopped");
        RunHarness h(3);
        installStandInEngine(h.engineLog, "exit 1");
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        QObject::connect(f.PBS, &QProgressBar::valueChanged, &f, [&](int v) {
            if (v != 75) return;  // the first page is in the engine
            QTimer::singleShot(0, &f, [&] { closeDialog ? (void)f.close() : f.cmdStart->click(); });
        });
        runAllPages(f);
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_TRUE(ui.shown[0].prompt.startsWith(
            "OCR Not Completed.\r\nPage 1 could not be recognised: the engine failed"));
        EXPECT_EQ(f.isVisible(), !closeDialog);
        EXPECT_EQ(f.timerDel->isActive(), !closeDialog) << "a closed dialog deletes nothing";
        EXPECT_TRUE(h.wordpadCalls(0).isEmpty());
    }
}
