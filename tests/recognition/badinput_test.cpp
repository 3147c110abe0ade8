// Bad input to the recognition run: damaged and locked documents, a missing engine, an output
// folder that cannot be made, missing settings and a missing WordPad. None may hang the run or
// end in a success message.
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <sys/stat.h>

#include "PipeWatchdog.h"
#include "RecognitionFixture.h"
#include "forms/MessageBox.h"
#include "win/FileSystem.h"

using namespace recognition_test;

namespace {

// Like the real engine, the stand-in writes no text when there is no page image.
const char* const kNoImageNoText = "[ -f \"$1\" ] || exit 1";

void expectCompleted(const forms::ScriptedUi& ui) {
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_TRUE(ui.shown[0].prompt.startsWith("OCR Completed.\r\nFile has been saved to:\r\n"));
    EXPECT_EQ(ui.shown[0].title, "Completed");
}

}  // namespace

TEST(RecognitionBadInput, ADamagedDocumentEndsTheRunAtItsFirstPageWithoutAHang) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    RunHarness h(0);
    writeFile(h.drive.hostPath("docs/report.final.pdf"), "%PDF-1.7\nthis is not a document\n");
    h.view.pageCount = 2;
    installStandInEngine(h.engineLog, kNoImageNoText);
    forms::ScriptedUi ui;
    frmOCR f(h.view.viewer());
    QElapsedTimer t;
    t.start();
    runAllPages(f);
    EXPECT_LT(t.elapsed(), 60000) << "only a wait without end takes this long";
    EXPECT_TRUE(h.engineCalls().isEmpty());
    EXPECT_EQ(h.onlyResult(), bom());
    expectNotCompleted(h, f, ui, "Page 1 could not be opened: it is damaged or no PDF document.",
                       "Page 2 was not processed.\r\nNo page has been saved to:\r\n");
}

TEST(RecognitionBadInput, ADocumentThatIsAPipeIsRefusedAtOnce) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    RunHarness h(0);
    ASSERT_TRUE(QDir().mkpath(h.drive.hostPath("docs")));
    const QByteArray fifo = QFile::encodeName(h.drive.hostPath("docs/report.final.pdf"));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    h.view.pageCount = 1;
    installStandInEngine(h.engineLog, kNoImageNoText);
    forms::ScriptedUi ui;
    frmOCR f(h.view.viewer());
    EXPECT_TRUE(testing_support::callNeverWaitsOnPipe(fifo.toStdString(), [&] { runAllPages(f); }));
    EXPECT_EQ(h.onlyResult(), bom());
    expectNotCompleted(h, f, ui, "Page 1 could not be opened: it is not a regular file.",
                       "No page has been saved to:\r\n");
}

TEST(RecognitionBadInput, AWrongPasswordIsToldAndTheRightOneRenders) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    RunHarness h(1);
    const QString plain = h.drive.hostPath("docs/report.final.pdf");
    const QString locked = h.drive.hostPath("docs/locked.pdf");
    ASSERT_EQ(testing_support::runProgram("pdftk", {plain, "output", locked, "user_pw", "opensesame"}), 0);
    DocPath = "C:\\docs\\locked.pdf";
    installStandInEngine(h.engineLog, kNoImageNoText);
    {
        DocPassword = "wrong";
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        f.cmdStart->click();
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_TRUE(ui.shown[0].prompt.startsWith(
            "OCR Not Completed.\r\nPage 1 could not be opened: the password does not open it.\r\n"
            "No page has been saved to:\r\nC:\\out\\locked-"));
        EXPECT_TRUE(h.engineCalls().isEmpty());
    }
    QDir(h.drive.hostPath("out")).removeRecursively();
    {
        DocPassword = "opensesame";
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        f.cmdStart->click();
        expectCompleted(ui);
        ASSERT_EQ(h.engineCalls().size(), 1);
        EXPECT_TRUE(h.engineCalls()[0].endsWith("tif"));
        const QStringList r = QDir(h.drive.hostPath("out")).entryList({"locked-*.txt"});
        ASSERT_EQ(r.size(), 1);
        EXPECT_EQ(readFile(h.drive.hostPath("out/" + r[0])), bom() + "page 0001\n");
    }
    DocPassword = "";
}

TEST(RecognitionBadInput, AnEngineThatCannotBeStartedEndsTheRunAtThatPageWithOneMessage) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    const struct {
        const char* what;
        int scope;          // 1 current page, 2 range 1 to 3, 3 all pages
        bool firstPageRead; // the engine starts once, then no more
        QString processed;
    } cases[] = {
        {"missing from the start, all pages", 3, false, "Processed: "},
        {"missing from the start, current page", 1, false, "Processed: "},
        {"gone after the first page of a range", 2, true, "Processed: 1 Page(s)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RunHarness h(3);
        if (c.firstPageRead) {
            // The stand-in takes its own right to run away once it has read its page.
            installStandInEngine(h.engineLog, "chmod a-x \"$0\"");
        } else {
            QFile::remove(programFolder() + "/ocr.exe");
        }
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        f.show();
        if (c.scope == 2) {
            f.Option2->click();
            f.txtEnd->setText("3");
        } else if (c.scope == 3) {
            f.Option3->click();
        }
        f.cmdStart->click();

        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_EQ(ui.shown[0].prompt, "File or command not found");
        EXPECT_EQ(ui.shown[0].style, forms::vbCritical);
        EXPECT_EQ(h.engineCalls().size(), c.firstPageRead ? 1 : 0);
        EXPECT_EQ(h.onlyResult(), c.firstPageRead ? bom() + "page 0001\n" : bom());
        EXPECT_EQ(f.lblPage->text(), c.processed);
        expectLeftOpenAndIdle(h, f);
    }
}

TEST(RecognitionBadInput, AnOutputFolderThatCannotBeMadeIsReportedBeforeAnyPage) {
    for (const QString& folder : {QString("C:\\no\\such\\folder\\"), QString("Q:\\out\\")}) {
        RunHarness h(2);
        setPathIni(folder);
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        f.show();
        f.cmdStart->click();
        ASSERT_EQ(ui.shown.size(), 1) << folder.toStdString();
        EXPECT_TRUE(ui.shown[0].prompt.startsWith("Cannot create the result file:\r\n" + folder +
                                                  "report-"));
        EXPECT_EQ(ui.shown[0].style, forms::vbCritical);
        EXPECT_TRUE(h.engineCalls().isEmpty());
        EXPECT_TRUE(h.wordpadCalls(0).isEmpty());
        EXPECT_TRUE(f.isVisible());
        EXPECT_EQ(f.cmdStart->text(), "Start");
        EXPECT_TRUE(f.cmdStart->isEnabled());
        EXPECT_FALSE(f.Timer1->isActive());
        EXPECT_FALSE(f.running());
        EXPECT_FALSE(QDir(h.drive.hostPath("no")).exists());
    }
}

TEST(RecognitionBadInput, MissingOrOddSettingsPlaceTheResultAsTheFolderTextSays) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    {
        // No path.ini: the result goes to the current folder.
        RunHarness h(1);
        setPathIni(QString());
        const QString cwd = h.drive.hostPath("cwd");
        QDir().mkpath(cwd);
        const QString previous = QDir::currentPath();
        QDir::setCurrent(cwd);
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        f.cmdStart->click();
        QDir::setCurrent(previous);
        expectCompleted(ui);
        EXPECT_TRUE(ui.shown.value(0).prompt.endsWith(":\r\nreport-" +
                                                      ui.shown.value(0).prompt.section("report-", 1)));
        const QStringList r = QDir(cwd).entryList({"report-*.txt"});
        ASSERT_EQ(r.size(), 1);
        EXPECT_EQ(readFile(cwd + "/" + r[0]), bom() + "page 0001\n");
    }
    {
        // No trailing backslash: the folder's name becomes the start of the file name.
        RunHarness h(1);
        setPathIni("C:\\out\r\n");
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        f.cmdStart->click();
        expectCompleted(ui);
        EXPECT_EQ(QDir(h.drive.hostPath()).entryList({"outreport-*.txt"}).size(), 1);
    }
    {
        // A quoted first field may hold a comma; the copy of a document under an ASCII name
        // gives results named tmpocr.
        RunHarness h(1);
        setPathIni("\"C:\\out, two\\\",ignored\r\n");
        QDir().mkpath(h.drive.hostPath("tmp"));
        QFile::copy(h.drive.hostPath("docs/report.final.pdf"), h.drive.hostPath("tmp/tmpocr.tmp"));
        DocPath = "c:\\tmp\\tmpocr.tmp";
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        f.cmdStart->click();
        expectCompleted(ui);
        const QStringList r = QDir(h.drive.hostPath("out, two")).entryList({"tmpocr-*.txt"});
        ASSERT_EQ(r.size(), 1);
        EXPECT_EQ(readFile(h.drive.hostPath("out, two/" + r[0])), bom() + "page 0001\n");
    }
}

TEST(RecognitionBadInput, AMissingWordPadIsSkippedSilently) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    RunHarness h(1);
    removeWordPad();
    forms::ScriptedUi ui;
    frmOCR f(h.view.viewer());
    f.cmdStart->click();
    expectCompleted(ui);
    EXPECT_EQ(h.onlyResult(), bom() + "page 0001\n");
}
