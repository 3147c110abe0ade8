// The whole road with the real recognition engine on a document the test makes.
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

#include "RecognitionFixture.h"
#include "forms/MessageBox.h"

using namespace recognition_test;

namespace {

struct RealEngine : ::testing::Test {
    void SetUp() override {
        // One engine thread per page: the engine's worker threads only slow it down on a busy
        // machine.
        qputenv("OMP_THREAD_LIMIT", "1");
        h = std::make_unique<RunHarness>(0);
        installRealEngine();
        installWordPadRecorder(h->wordpadLog);
    }
    std::unique_ptr<RunHarness> h;
};

}  // namespace

TEST_F(RealEngine, RecognisesEveryPageIntoOneResultInPageOrder) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    const QStringList words = {"HARBOUR", "BICYCLE", "LANTERN"};
    makePdf(h->drive.hostPath("docs/report.final.pdf"), words, QSizeF(300, 90));
    h->view.pageCount = 3;
    forms::ScriptedUi ui;
    frmOCR f(h->view.viewer());
    f.Option3->click();
    f.cmdStart->click();

    const QStringList r = h->results();
    ASSERT_EQ(r.size(), 1);
    EXPECT_TRUE(QRegularExpression("/report-\\d{1,2}-\\d{1,2}-\\d{1,2}-\\d{1,2}-\\d{1,2}\\.txt$")
                    .match(r[0]).hasMatch()) << r[0].toStdString();
    const QByteArray result = readFile(r[0]);
    ASSERT_TRUE(result.startsWith(bom()));
    const QString text = QString::fromUtf8(result.mid(3)).toUpper();
    int at = -1;
    for (const QString& w : words) {
        const int found = text.indexOf(w);
        EXPECT_GT(found, at) << w.toStdString() << " in: " << text.toStdString();
        at = found;
    }
    EXPECT_TRUE(h->pageFilesGone());
    EXPECT_EQ(h->wordpadCalls(), QStringList({r[0]}));
    EXPECT_EQ(ui.shown.value(0).title, "Completed");
}

TEST_F(RealEngine, EveryLanguageOfTheListRunsAndOtherLanguagesDoesNotHold) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    makePdf(h->drive.hostPath("docs/report.final.pdf"), {"LANTERN"}, QSizeF(200, 60));
    h->view.pageCount = 1;
    h->view.currentPage = 1;
    for (int lang = 0; lang < 10; ++lang) {
        QDir(h->drive.hostPath("out")).removeRecursively();
        forms::ScriptedUi ui;
        frmOCR f(h->view.viewer());
        f.cmbLan->setCurrentIndex(lang);
        f.cmdStart->click();
        ASSERT_EQ(ui.shown.size(), 1) << lang;
        const QByteArray result = h->onlyResult();
        if (lang == 9) {
            // The engine refuses a blank language, and the run says so.
            EXPECT_EQ(result, bom());
            EXPECT_TRUE(ui.shown[0].prompt.startsWith(
                "OCR Not Completed.\r\nPage 1 could not be recognised: the engine failed (exit "
                "status 1) and said: "));
        } else {
            EXPECT_EQ(ui.shown[0].title, "Completed");
            EXPECT_GT(result.size(), 4) << f.cmbLan->currentText().toStdString();
        }
    }
    LangIndex = 0;
}
