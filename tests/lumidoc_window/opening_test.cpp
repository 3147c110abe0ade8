// Opening a document: the dialog, the copy for names the code page cannot carry, the password
// question, bad files and the view set-up after an open.
#include "ScopedEnvironment.h"
#include "Form1.h"
#include "FormTestSupport.h"
#include "GetFile.h"
#include "ProgramVariables.h"
#include "TestPdf.h"

#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

using form_test::Scene;
using testing_support::waitUntil;

namespace {

class OpeningTest : public ::testing::Test {
protected:
    void SetUp() override {
        form.show();
        ASSERT_TRUE(form.Form_Load());
        form.Timer2->stop();
    }
    QString makeDoc(const QString& name, int pages) {
        const QString host = scene.docs(name);
        EXPECT_TRUE(test_pdf::makePdf(host, pages));
        return host;
    }
    QString makeLocked(const QString& name, const QString& password) {
        makeDoc("plain-" + name, 2);
        const QString host = scene.docs(name);
        EXPECT_TRUE(test_pdf::encryptPdf(scene.docs("plain-" + name), host, password));
        return host;
    }
    void open(const QString& host) {
        scene.dialogs.answerFile(host);
        form.cmdOpen_Click();
    }
    int passwordQuestions() const {
        int n = 0;
        for (const auto& s : scene.ui.shown)
            if (s.kind == "inputbox") {
                EXPECT_EQ(s.prompt, "Please enter the password");
                EXPECT_EQ(s.title, "Password");
                ++n;
            }
        return n;
    }

    Scene scene;
    Form1 form;
};

TEST_F(OpeningTest, OpensThroughTheDialogAtPageOneWithoutAPassword) {
    const QString host = makeDoc("report.final.pdf", 3);
    open(host);
    ASSERT_EQ(scene.dialogs.fileRequests.size(), 1);
    const forms::FileDialogRequest& r = scene.dialogs.fileRequests[0];
    EXPECT_EQ(r.kind, forms::FileDialogRequest::Open);
    EXPECT_EQ(r.owner, &form);
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_TRUE(r.caption.isEmpty());
    ASSERT_EQ(r.filters().size(), 1);
    EXPECT_EQ(r.filters()[0].first, "PDF Files(*.pdf, *.PDF)");
    EXPECT_EQ(r.filters()[0].second, "*.pdf");
    EXPECT_TRUE(r.fileName.isEmpty());

    EXPECT_EQ(form.MyPDFView1->PageCount(), 3);
    EXPECT_EQ(form.MyPDFView1->CurrentPage(), 1);
    EXPECT_EQ(DocPath, win::fromHostPath(host));
    EXPECT_EQ(DocPassword, "");
    EXPECT_EQ(passwordQuestions(), 0);
    EXPECT_EQ(form.lblPage->text().left(13), " Page: 1/3   ");
    // A second open starts again at the first page.
    form.cmdLast_Click();
    open(host);
    EXPECT_EQ(form.MyPDFView1->CurrentPage(), 1);
}

TEST_F(OpeningTest, CancellingLeavesTheViewerEmpty) {
    open(makeDoc("a.pdf", 2));
    ASSERT_EQ(form.MyPDFView1->PageCount(), 2);
    scene.dialogs.answerCancel();
    form.menuOpen->trigger();
    EXPECT_EQ(form.MyPDFView1->PageCount(), -1);
    EXPECT_EQ(form.MyPDFView1->CurrentPage(), -1);
    form.Timer1_Timer();
    EXPECT_EQ(form.lblPage->text(), " No Page");
    // A confirmed dialog with no name does nothing more either.
    scene.dialogs.fileAnswers << forms::FileDialogAnswer{true, {""}};
    form.cmdOpen_Click();
    EXPECT_EQ(form.MyPDFView1->PageCount(), -1);
}

TEST_F(OpeningTest, ProtectedDocumentAsksOnceAndOpensWithTheRightPassword) {
    if (!QFile::exists("/usr/bin/qpdf"))
        GTEST_SKIP() << "qpdf missing";
    scene.ui.inputAnswers << "open sesame";
    open(makeLocked("locked.pdf", "open sesame"));
    EXPECT_EQ(passwordQuestions(), 1);
    EXPECT_EQ(form.MyPDFView1->PageCount(), 2);
    EXPECT_EQ(DocPassword, "open sesame");
    EXPECT_EQ(form.lblPage->text().left(13), " Page: 1/2   ");
}

TEST_F(OpeningTest, WrongOrNoPasswordLeavesNoDocumentAndAsksOnlyOnce) {
    if (!QFile::exists("/usr/bin/qpdf"))
        GTEST_SKIP() << "qpdf missing";
    const QString locked = makeLocked("locked.pdf", "right");
    scene.ui.inputAnswers << "wrong";
    open(locked);
    EXPECT_EQ(passwordQuestions(), 1);
    EXPECT_EQ(form.MyPDFView1->PageCount(), -1);
    EXPECT_EQ(DocPassword, "wrong");
    EXPECT_EQ(form.lblPage->text(), " Page: -1/-1      100%");
    form.Timer1_Timer();
    EXPECT_EQ(form.lblPage->text(), " No Page");
    // Cancel on the question gives an empty password.
    scene.ui.shown.clear();
    open(locked);
    EXPECT_EQ(passwordQuestions(), 1);
    EXPECT_EQ(DocPassword, "");
    EXPECT_EQ(form.MyPDFView1->PageCount(), -1);
}

TEST_F(OpeningTest, NameBeyondTheCodePageOpensFromItsCopy) {
    testing_support::ScopedEnvironment western{{"LUMIDOC_ACP", "1252"}};
    const QString host = makeDoc(QString::fromUtf8("Отчёт за год.pdf"), 3);
    open(host);
    EXPECT_EQ(DocPath, "c:\\tmp\\tmpocr.tmp");
    EXPECT_EQ(GetFileBaseName(DocPath), "tmpocr");  // so a run names its result tmpocr-...
    EXPECT_EQ(form.MyPDFView1->PageCount(), 3);
    EXPECT_EQ(testing_support::readFile(scene.driveC("tmp/tmpocr.tmp")),
              testing_support::readFile(host));
    // A name that the code page carries is used as it stands.
    const QString plain = makeDoc(QString::fromUtf8("café.pdf"), 1);
    open(plain);
    EXPECT_EQ(DocPath, win::fromHostPath(plain));
}

TEST_F(OpeningTest, AnEarlierCopyNeverStandsInForAFileThatCannotBeCopied) {
    open(makeDoc(QString::fromUtf8("第一.pdf"), 3));
    ASSERT_EQ(form.MyPDFView1->PageCount(), 3);
    // The next choice vanished before it could be copied.
    open(scene.docs(QString::fromUtf8("第二.pdf")));
    EXPECT_EQ(DocPath, "c:\\tmp\\tmpocr.tmp");
    EXPECT_EQ(form.MyPDFView1->PageCount(), -1);
}

TEST_F(OpeningTest, DamagedEmptyAndFolderChoicesShowNoPage) {
    const QString good = makeDoc("good.pdf", 2);
    ASSERT_TRUE(test_pdf::makeDamagedPdf(good, scene.docs("damaged.pdf")));
    ASSERT_TRUE(testing_support::writeFile(scene.docs("empty.pdf"), QByteArray()));
    QDir().mkpath(scene.docs("folder.pdf"));
    for (const char* name : {"damaged.pdf", "empty.pdf", "folder.pdf"}) {
        SCOPED_TRACE(name);
        open(scene.docs(name));
        EXPECT_EQ(form.MyPDFView1->PageCount(), -1);
        form.Timer1_Timer();
        EXPECT_EQ(form.lblPage->text(), " No Page");
    }
    EXPECT_EQ(passwordQuestions(), 0);
}

TEST_F(OpeningTest, ViewSetUpFollowsOnceAfterTheOpen) {
    form.MyPDFView1->ShowBookmarkPane(0);
    form.MyPDFView1->SetLayoutMode(2);
    form.ViewState = 3;
    open(makeDoc("view.pdf", 4));
    EXPECT_TRUE(form.Timer3->isActive());
    EXPECT_EQ(form.Timer3->interval(), 200);
    EXPECT_EQ(form.MyPDFView1->layoutMode(), 2);
    ASSERT_TRUE(waitUntil([&] { return !form.Timer3->isActive(); }, 15000));
    EXPECT_EQ(form.MyPDFView1->layoutMode(), 1);
    const double zoom = form.MyPDFView1->ZoomFactor();
    form.MyPDFView1->FitToPage();
    form.MyPDFView1->FitToWidth();
    EXPECT_DOUBLE_EQ(form.MyPDFView1->ZoomFactor(), zoom);
    EXPECT_EQ(form.ViewState, 3);  // an open does not reset the cycle
}

TEST_F(OpeningTest, FiveHundredPagesOpenAndPageToTheEnd) {
    ASSERT_TRUE(waitUntil([&] { return form.windowHandle() && form.windowHandle()->isExposed(); }, 5000));
    open(makeDoc("long.pdf", 500));
    ASSERT_EQ(form.MyPDFView1->PageCount(), 500);
    for (int i = 0; i < 20; ++i)
        form.NextPage_Click();
    EXPECT_EQ(form.lblPage->text().left(15), " Page: 21/500  ");
    form.cmdLast_Click();
    form.ZoomIn_Click();
    form.repaint();
    EXPECT_EQ(form.lblPage->text(), " Page: 500/500      " +
                                        QString::number(int(float(form.MyPDFView1->ZoomFactor()) * 100.0f)) + "%");
    EXPECT_GT(form.MyPDFView1->renderedTileCount(), 0);
    EXPECT_LT(form.MyPDFView1->renderedTileCount(), 100);
}

}  // namespace
