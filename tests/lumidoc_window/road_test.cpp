// The road of one request through the whole program: start, open a document whose name the
// code page cannot carry, Start OCR, all pages, and the result file named after the copy.
#include "ScopedEnvironment.h"
#include "Form1.h"
#include "FormTestSupport.h"
#include "ProgramVariables.h"
#include "TestPdf.h"

#include <QDir>
#include <QRadioButton>
#include <QRegularExpression>
#include <QPushButton>

#include <gtest/gtest.h>

#if __has_include("frmOCR.h")
#include "frmOCR.h"
#include "PrivateProcessTable.h"

using form_test::Scene;
using form_test::WhenModal;
using testing_support::readFile;
using testing_support::waitUntil;
using testing_support::writeFile;
using testing_support::writeScript;

TEST(Road, OpenACopiedDocumentAndRecogniseAllPages) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    testing_support::ScopedEnvironment western{{"LUMIDOC_ACP", "1252"}};
    Scene scene;
    // Stand-ins: the engine writes "page <base name>" for each page, WordPad logs its argument.
    writeScript(scene.program("ocr.exe"), "printf 'page %s\\n' \"$(basename \"$2\")\" > \"$2.txt\"");
    writeScript(scene.program("wordpad.exe"), "printf '%s\\n' \"$@\" >> '" + scene.driveC("wordpad.log") + "'");
    ASSERT_TRUE(writeFile(scene.program("path.ini"), "\"C:\\results\\\"\r\n"));
    ASSERT_TRUE(writeFile(scene.program("wizard.ini"), "0\r\n"));

    Form1 form;
    form.show();
    ASSERT_TRUE(form.Form_Load());
    ASSERT_TRUE(waitUntil([&] { return !form.Timer2->isActive(); }, 15000));

    const QString doc = scene.docs(QString::fromUtf8("Годовой отчёт.pdf"));
    ASSERT_TRUE(test_pdf::makePdf(doc, 2));
    scene.dialogs.answerFile(doc);
    form.cmdOpen_Click();
    ASSERT_EQ(form.MyPDFView1->PageCount(), 2);
    ASSERT_EQ(DocPath, "c:\\tmp\\tmpocr.tmp");

    QString caption;
    WhenModal run([&](QWidget* w) {
        auto* dialog = qobject_cast<frmOCR*>(w);
        ASSERT_NE(dialog, nullptr);
        caption = dialog->windowTitle();
        dialog->Option3->click();
        dialog->cmdStart->click();  // runs to the end, then closes the dialog
    });
    form.cmdOCRAll_Click();
    ASSERT_TRUE(run.seen);
    EXPECT_EQ(caption, "OCR");

    const QStringList results = QDir(scene.driveC("results")).entryList({"tmpocr-*.txt"}, QDir::Files);
    ASSERT_EQ(results.size(), 1);
    EXPECT_TRUE(QRegularExpression("^tmpocr(-\\d{1,2}){5}\\.txt$").match(results[0]).hasMatch()) << results[0].toStdString();
    EXPECT_EQ(readFile(scene.driveC("results/" + results[0])), "\xEF\xBB\xBFpage 0001\npage 0002\n");
    ASSERT_FALSE(scene.ui.shown.isEmpty());
    EXPECT_TRUE(scene.ui.shown.last().prompt.startsWith("OCR Completed."));
    EXPECT_TRUE(waitUntil([&] { return !readFile(scene.driveC("wordpad.log")).isEmpty(); }, 20000));

    // Leaving removes the work folders.
    form.cmdExit_Click();
    EXPECT_FALSE(QDir(scene.driveC("tmp")).exists());
    EXPECT_FALSE(QDir(scene.driveC("OCRtmp")).exists());
}
#endif
