// The recognition run with a stand-in engine: scopes, progress, naming, the result file, Stop,
// closing during a run, languages and the resolution taken from the first page.
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>

#include "DOSOutputs.h"
#include "RecognitionFixture.h"
#include "forms/App.h"
#include "forms/MessageBox.h"
#include "win/FileSystem.h"

using namespace recognition_test;

namespace {

// What the bars and labels showed during a run.
struct Progress {
    QStringList stages;  // "value lblS" at every change of PBS
    QStringList run;     // "value lblPage" at every change of pb
    void attach(frmOCR& f) {
        QObject::connect(f.PBS, &QProgressBar::valueChanged, [this, &f](int v) {
            stages << QString("%1 %2").arg(v).arg(f.lblS->text());
        });
        QObject::connect(f.pb, &QProgressBar::valueChanged, [this, &f](int v) {
            run << QString("%1 %2").arg(v).arg(f.lblPage->text());
        });
    }
};

// Runs `action` once through the event queue as soon as the first page reaches the engine, so
// it arrives inside the run's message pumps the way a user's click would.
void onceTheEngineRuns(frmOCR& f, std::function<void()> action) {
    auto fired = std::make_shared<bool>(false);
    QObject::connect(f.PBS, &QProgressBar::valueChanged, &f, [&f, fired, action](int v) {
        if (v == 75 && !*fired) {
            *fired = true;
            QTimer::singleShot(0, &f, action);
        }
    });
}

void chooseRange(frmOCR& f, const QString& from, const QString& to) {
    f.Option2->click();
    f.txtStart->setText(from);
    f.txtEnd->setText(to);
}

}  // namespace

TEST(RecognitionRun, CurrentPageEndsInWordPadAndTheCompletionMessage) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    RunHarness h(3);
    h.view.currentPage = 2;
    forms::ScriptedUi ui;
    frmOCR f(h.view.viewer());
    f.show();
    Progress p;
    p.attach(f);
    const QDateTime before = QDateTime::currentDateTime();
    f.cmdStart->click();
    const QDateTime after = QDateTime::currentDateTime();

    EXPECT_EQ(h.onlyResult(), bom() + "page 0002\n");
    EXPECT_EQ(h.engineCalls().size(), 1);
    EXPECT_TRUE(h.engineCalls().value(0).endsWith("|tif")) << "the page image was there";
    EXPECT_EQ(f.objShell->CommandLine(), forms::App::path() +
                                             "\\ocr.exe c:\\ocrtmp\\0002.tif c:\\ocrtmp\\0002 -l eng");
    EXPECT_TRUE(h.pageFilesGone());

    // Named from the folder, the base name and the start time (no year, no leading zeros).
    const QString name = QFileInfo(h.results().value(0)).fileName();
    const QRegularExpression re("^report-(\\d+)-(\\d+)-(\\d+)-(\\d+)-(\\d+)\\.txt$");
    const auto m = re.match(name);
    ASSERT_TRUE(m.hasMatch()) << name.toStdString();
    bool timeMatches = false;
    for (QDateTime t = before.addSecs(-1); t <= after; t = t.addSecs(1)) {
        const QString expected = QString("report-%1-%2-%3-%4-%5.txt")
                                     .arg(t.date().month()).arg(t.date().day())
                                     .arg(t.time().hour()).arg(t.time().minute()).arg(t.time().second());
        if (expected == name) timeMatches = true;
    }
    EXPECT_TRUE(timeMatches) << name.toStdString();
    const QString outFile = "C:\\out\\" + name;

    EXPECT_EQ(h.wordpadCalls(), QStringList({h.drive.hostPath("out/" + name)}));
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].prompt, "OCR Completed.\r\nFile has been saved to:\r\n" + outFile);
    EXPECT_EQ(ui.shown[0].title, "Completed");
    EXPECT_EQ(ui.shown[0].style, forms::vbOKOnly);
    EXPECT_FALSE(f.isVisible());

    EXPECT_EQ(p.stages, QStringList({"25 OCR layer 1", "50 OCR layer 2", "75 Loading Text",
                                     "100 Loading Text", "0 Loading Text"}));
    EXPECT_EQ(p.run, QStringList({"100 Processed: 1 page", "0 Processed: 1 page"}));
    EXPECT_EQ(f.cmdStart->text(), "Start");
    EXPECT_TRUE(f.cmdStart->isEnabled());
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_EQ(f.PBr->value(), 0);
    EXPECT_FALSE(f.timerDel->isActive()) << "a closed dialog deletes no work folder";
    EXPECT_FALSE(StopRequested);
}

TEST(RecognitionRun, RangeAndAllPagesGoInPageOrderWithTheirProgress) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    {
        RunHarness h(5);
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        Progress p;
        p.attach(f);
        chooseRange(f, "2", "4");
        f.cmdStart->click();
        EXPECT_EQ(h.onlyResult(), bom() + "page 0002\npage 0003\npage 0004\n");
        EXPECT_EQ(p.run, QStringList({"33 Processed: 1 Page(s)", "67 Processed: 2 Page(s)",
                                      "100 Processed: 3 Page(s)", "0 Processed: 3 Page(s)"}));
        EXPECT_EQ(h.engineCalls().size(), 3);
        EXPECT_EQ(h.wordpadCalls().size(), 1);
        EXPECT_EQ(ui.shown.size(), 1);
        EXPECT_TRUE(h.pageFilesGone());
    }
    {
        RunHarness h(3);
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        Progress p;
        p.attach(f);
        f.Option3->click();
        f.cmdStart->click();
        EXPECT_EQ(h.onlyResult(), bom() + "page 0001\npage 0002\npage 0003\n");
        EXPECT_EQ(p.run, QStringList({"33 Processed: 1 Page(s)", "67 Processed: 2 Page(s)",
                                      "100 Processed: 3 Page(s)", "0 Processed: 3 Page(s)"}));
        EXPECT_EQ(p.stages.mid(0, 4), QStringList({"25 OCR layer 1", "50 OCR layer 2",
                                                   "75 Loading Text", "100 Loading Text"}));
        EXPECT_EQ(f.lblS->text(), "Loading Text");
        EXPECT_EQ(ui.shown.size(), 1);
        EXPECT_EQ(ui.shown.value(0).title, "Completed");
    }
}

TEST(RecognitionRun, ABackwardRangeProcessesNothingAndStillCompletes) {
    RunHarness h(1);
    h.view.pageCount = 10;
    forms::ScriptedUi ui;
    frmOCR f(h.view.viewer());
    chooseRange(f, "5", "3");
    f.cmdStart->click();
    EXPECT_EQ(h.onlyResult(), bom());
    EXPECT_TRUE(h.engineCalls().isEmpty());
    EXPECT_EQ(h.wordpadCalls().size(), 1);
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_TRUE(ui.shown[0].prompt.startsWith("OCR Completed.\r\n"));
    EXPECT_EQ(f.lblPage->text(), "Processed: ");
}

TEST(RecognitionRun, StopFinishesTheCurrentPageAndLeavesTheDialogOpen) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    RunHarness h(4);
    forms::ScriptedUi ui;
    frmOCR f(h.view.viewer());
    f.show();
    f.Option3->click();
    QString captionAfterStop;
    bool enabledAfterStop = true;
    int ticks = 0;
    QObject::connect(f.Timer1, &QTimer::timeout, [&] { ++ticks; });
    // The user clicks again while the first page is in the engine or its pause.
    onceTheEngineRuns(f, [&] {
        f.cmdStart->click();
        captionAfterStop = f.cmdStart->text();
        enabledAfterStop = f.cmdStart->isEnabled();
    });
    f.cmdStart->click();

    EXPECT_EQ(captionAfterStop, "Start");
    EXPECT_FALSE(enabledAfterStop);
    EXPECT_GT(ticks, 0) << "the spinner runs while the run pumps messages";
    EXPECT_TRUE(StopRequested);
    EXPECT_EQ(h.onlyResult(), bom() + "page 0001\n");
    EXPECT_EQ(h.wordpadCalls().size(), 1);
    EXPECT_TRUE(ui.shown.isEmpty());
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.cmdStart->text(), "Start");
    EXPECT_TRUE(f.cmdStart->isEnabled());
    EXPECT_EQ(f.lblPage->text(), "Processed: 1 Page(s)");
    EXPECT_TRUE(win::folderExists("c:\\ocrtmp"));
    EXPECT_TRUE(testing_support::waitUntil([] { return !win::folderExists("c:\\ocrtmp"); }, 15000));
    EXPECT_FALSE(f.timerDel->isActive());
}

TEST(RecognitionRun, ARunStartedRightAfterAStopKeepsItsWorkFolder) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    RunHarness h(3);
    forms::ScriptedUi ui;
    frmOCR f(h.view.viewer());
    f.show();
    f.Option3->click();
    onceTheEngineRuns(f, [&] { f.cmdStart->click(); });
    f.cmdStart->click();
    ASSERT_TRUE(f.timerDel->isActive());
    // At once a new run over all pages: it outlasts the one-second deletion of the stopped run.
    QFile::remove(h.results().value(0));
    f.cmdStart->click();
    EXPECT_EQ(h.onlyResult(), bom() + "page 0001\npage 0002\npage 0003\n");
    EXPECT_EQ(ui.shown.value(0).title, "Completed");
}

TEST(RecognitionRun, ClosingDuringARunKeepsThePagesDoneAndShowsNothingMore) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    for (bool closeBox : {false, true}) {
        RunHarness h(3);
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        f.show();
        f.Option3->click();
        onceTheEngineRuns(f, [&] {
            if (closeBox) {
                f.close();
            } else {
                f.cmdCancel->click();
            }
        });
        f.cmdStart->click();
        EXPECT_FALSE(f.isVisible());
        EXPECT_FALSE(f.running());
        EXPECT_FALSE(StopRequested) << "closing is no Stop";
        EXPECT_EQ(h.onlyResult(), bom() + "page 0001\n");
        EXPECT_TRUE(h.wordpadCalls(0).isEmpty());
        EXPECT_TRUE(ui.shown.isEmpty());
        EXPECT_FALSE(f.Timer1->isActive());
        EXPECT_FALSE(f.timerDel->isActive());
        EXPECT_EQ(f.result(), QDialog::Rejected);
    }
}

TEST(RecognitionRun, AnExistingResultOfTheSameNameKeepsItsContent) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    RunHarness h(1);
    // The name carries the start time to the second: lay out the next half minute's names, so
    // a slow start on a busy machine still meets one.
    const QDateTime now = QDateTime::currentDateTime();
    for (int s = 0; s < 30; ++s) {
        const QDateTime t = now.addSecs(s);
        writeFile(h.drive.hostPath(QString("out/report-%1-%2-%3-%4-%5.txt")
                                       .arg(t.date().month()).arg(t.date().day())
                                       .arg(t.time().hour()).arg(t.time().minute())
                                       .arg(t.time().second())),
                  "OLD CONTENT\n");
    }
    for (const QString& r : h.results()) testing_support::setPermissions(r, 0600);
    forms::ScriptedUi ui;
    frmOCR f(h.view.viewer());
    f.cmdStart->click();
    int updated = 0;
    for (const QString& r : h.results()) {
        const QByteArray b = readFile(r);
        if (b != "OLD CONTENT\n") {
            EXPECT_EQ(b, bom() + " CONTENT\npage 0001\n");
            EXPECT_EQ(testing_support::permissionsOf(r), "0600");
            ++updated;
        }
    }
    EXPECT_EQ(updated, 1);
}

TEST(RecognitionRun, PageNumbersBeyondFourDigitsAndBeyond32767NameTheirFiles) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    RunHarness h(1);
    const QString doc = h.drive.hostPath("docs/report.final.pdf");
    ASSERT_EQ(testing_support::runProgram(
                  "qpdf", {"--empty", "--pages", doc, QStringList(40001, "1").join(','), "--",
                           doc + ".long"}), 0);
    QFile::remove(doc);
    QFile::rename(doc + ".long", doc);
    h.view.pageCount = 40001;
    h.view.currentPage = 12345;
    {
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        f.cmdStart->click();
        EXPECT_EQ(f.objShell->CommandLine(),
                  forms::App::path() + "\\ocr.exe c:\\ocrtmp\\12345.tif c:\\ocrtmp\\12345 -l eng");
        EXPECT_EQ(h.onlyResult(), bom() + "page 12345\n");
    }
    QFile::remove(h.results().value(0));
    {
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        chooseRange(f, "40000", "40001");
        f.cmdStart->click();
        EXPECT_EQ(ui.shown.value(0).title, "Completed");
        EXPECT_EQ(h.onlyResult(), bom() + "page 40000\npage 40001\n");
        EXPECT_EQ(f.lblPage->text(), "Processed: 2 Page(s)");
    }
}

TEST(RecognitionRun, TheChosenLanguageGoesToTheEngineAndIsRemembered) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    RunHarness h(1);
    LangIndex = 0;
    {
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        f.cmbLan->setCurrentText("Fraktur(Old German)");
        f.cmdStart->click();
        EXPECT_TRUE(f.objShell->CommandLine().endsWith(" -l deu-f"));
    }
    EXPECT_EQ(LangIndex, 3);
    {
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        EXPECT_EQ(f.cmbLan->currentText(), "Fraktur(Old German)");
        f.cmbLan->setCurrentText("Other Languages");
        f.cmdStart->click();
        // One space after " -l ": the stand-in sees no language at all.
        EXPECT_TRUE(f.objShell->CommandLine().endsWith("0001 -l  "));
        EXPECT_EQ(ui.shown.value(0).title, "Completed");
    }
    EXPECT_TRUE(h.engineCalls().value(1).endsWith("0001|-l|tif")) << h.engineCalls().value(1).toStdString();
    LangIndex = 0;
}

TEST(RecognitionRun, AnEngineThatWritesNoTextDoesNotHoldTheRun) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    RunHarness h(2);
    installStandInEngine(h.engineLog, "[ \"${2##*/}\" = 0001 ] && : > \"$2.txt\"; exit 0");
    forms::ScriptedUi ui;
    frmOCR f(h.view.viewer());
    f.show();
    f.Option3->click();
    QElapsedTimer t;
    t.start();
    f.cmdStart->click();
    EXPECT_LT(t.elapsed(), 60000) << "about 1.5 s a page; only a wait without end takes this long";
    // Page 1's text is empty, an empty page; page 2 has none at all.
    expectNotCompleted(h, f, ui,
                       "Page 2 could not be recognised: the engine ended without writing "
                       "c:\\ocrtmp\\0002.txt.",
                       "1 page has been saved to:\r\n");
    EXPECT_EQ(h.onlyResult(), bom());
}

TEST(RecognitionRun, ResolutionFollowsTheFirstPageWidthWithinNinetySixToThreeHundred) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    const QList<QPair<double, float>> cases = {{612, 300}, {1224, 150}, {144, 300}, {3000, 96}};
    for (const auto& [width, dpi] : cases) {
        RunHarness h(0);
        makePdf(h.drive.hostPath("docs/report.final.pdf"), {"a", "b"}, QSizeF(width, 30));
        h.view.pageCount = 2;
        h.view.currentPage = 2;
        installStandInEngine(h.engineLog, "cp \"$1\" '" + h.drive.hostPath("kept.tif") + "'");
        forms::ScriptedUi ui;
        frmOCR f(h.view.viewer());
        f.cmdStart->click();
        const TiffInfo info = readTiff(h.drive.hostPath("kept.tif"));
        ASSERT_TRUE(info.ok) << width;
        EXPECT_FLOAT_EQ(info.xres, dpi) << width;
        EXPECT_FLOAT_EQ(info.yres, dpi) << width;
        EXPECT_EQ(info.bits, 8);
        EXPECT_EQ(info.samples, 1);
        EXPECT_EQ(info.width, uint32_t(qRound(width * dpi / 72.0))) << width;
    }
}
