// The recognition dialog without a run: load state, languages, options, busy animation and the
// range check that stands before every run.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "ProgramVariables.h"
#include "RecognitionFixture.h"
#include "forms/App.h"
#include "forms/MessageBox.h"
#include "win/FileSystem.h"

using namespace recognition_test;
using testing_support::ScratchDriveC;

TEST(frmOCR, LoadsWithTheDesignStateAndCreatesTheWorkFolder) {
    ScratchDriveC c;
    LangIndex = 0;
    FakeViewer v;
    frmOCR f(v.viewer());
    EXPECT_EQ(f.windowTitle(), "OCR");
    EXPECT_TRUE(f.isModal());
    EXPECT_TRUE(win::folderExists("c:\\OCRtmp"));

    EXPECT_TRUE(f.Option1->isChecked());
    EXPECT_FALSE(f.Option2->isChecked());
    EXPECT_FALSE(f.Option3->isChecked());
    EXPECT_EQ(f.Option1->text(), "OCR Current Page");
    EXPECT_EQ(f.Option2->text(), "OCR Page Range");
    EXPECT_EQ(f.Option3->text(), "OCR All Pages");
    EXPECT_EQ(f.txtStart->text(), "1");
    EXPECT_EQ(f.txtEnd->text(), "1");
    EXPECT_FALSE(f.txtStart->isEnabled());
    EXPECT_FALSE(f.txtEnd->isEnabled());
    EXPECT_EQ(f.Label1->text(), "From");
    EXPECT_EQ(f.Label2->text(), "To");
    EXPECT_EQ(f.Label3->text(), "Language:");
    EXPECT_EQ(f.lblP->text(), "-");
    EXPECT_EQ(f.lblS->text(), "Status: ");
    EXPECT_EQ(f.lblPage->text(), "Processed: ");
    EXPECT_EQ(f.cmdStart->text(), "Start");
    EXPECT_TRUE(f.cmdStart->isEnabled());
    EXPECT_EQ(f.cmdCancel->text(), "Cancel");
    for (QProgressBar* bar : {f.PBr, f.PBS, f.pb}) {
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), 100);
        EXPECT_EQ(bar->value(), 0);
    }
    EXPECT_TRUE(f.List1->isHidden());
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_EQ(f.Timer1->interval(), 100);
    EXPECT_FALSE(f.timerDel->isActive());
    EXPECT_EQ(f.timerDel->interval(), 1000);
    EXPECT_EQ(f.intInterval, 100);
    EXPECT_EQ(f.intBarValue, 0);
    EXPECT_NE(f.objShell, nullptr);

    // Positions come from twips: Start at 930,4290 and the client area 4845 x 4980.
    const double tx = forms::App::twipsPerPixelX(), ty = forms::App::twipsPerPixelY();
    EXPECT_EQ(f.cmdStart->geometry(), QRect(qRound(930 / tx), qRound(4290 / ty),
                                            qRound(1335 / tx), qRound(465 / ty)));
    EXPECT_EQ(f.pb->geometry(), QRect(qRound(180 / tx), qRound(3450 / ty), qRound(4365 / tx),
                                      qRound(375 / ty)));
    EXPECT_EQ(f.size(), QSize(qRound(4845 / tx), qRound(4980 / ty)));
}

TEST(frmOCR, OffersTheTenLanguagesWithTheirEngineCodesAndRemembersTheLastChoice) {
    ScratchDriveC c;
    LangIndex = 0;
    FakeViewer v;
    const QStringList names = {"English", "French", "German", "Fraktur(Old German)", "Italian",
                               "Dutch", "Spanish", "Portuguese", "Basque", "Other Languages"};
    const QStringList codes = {"eng", "fra", "deu", "deu-f", "ita", "nld", "spa", "Por", "eus", " "};
    {
        frmOCR f(v.viewer());
        ASSERT_EQ(f.cmbLan->count(), 10);
        ASSERT_EQ(f.List1->count(), 10);
        EXPECT_FALSE(f.cmbLan->isEditable());
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(f.cmbLan->itemText(i), names[i]);
            EXPECT_EQ(f.List1->item(i)->text(), codes[i]);
        }
        EXPECT_EQ(f.cmbLan->currentIndex(), 0);
        // Choosing alone does not carry over; a click on Start does (even one the range check
        // refuses).
        f.cmbLan->setCurrentIndex(2);
    }
    EXPECT_EQ(LangIndex, 0);
    {
        forms::ScriptedUi ui;
        frmOCR f(v.viewer());
        EXPECT_EQ(f.cmbLan->currentIndex(), 0);
        f.cmbLan->setCurrentIndex(2);
        f.cmdStart->click();  // no document: refused
        EXPECT_EQ(ui.shown.size(), 1);
    }
    EXPECT_EQ(LangIndex, 2);
    {
        frmOCR f(v.viewer());
        EXPECT_EQ(f.cmbLan->currentText(), "German");
    }
    LangIndex = 42;  // out of range: English stays
    {
        frmOCR f(v.viewer());
        EXPECT_EQ(f.cmbLan->currentIndex(), 0);
    }
    LangIndex = 0;
}

TEST(frmOCR, OptionsEnableTheRangeBoxesAndKeepTheirTexts) {
    ScratchDriveC c;
    FakeViewer v;
    frmOCR f(v.viewer());
    f.Option2->click();
    EXPECT_TRUE(f.txtStart->isEnabled());
    EXPECT_TRUE(f.txtEnd->isEnabled());
    f.txtStart->setText("2");
    f.txtEnd->setText("5");
    f.Option3->click();
    EXPECT_TRUE(f.Option3->isChecked());
    EXPECT_FALSE(f.Option2->isChecked());
    EXPECT_FALSE(f.txtStart->isEnabled());
    EXPECT_FALSE(f.txtEnd->isEnabled());
    EXPECT_EQ(f.txtStart->text(), "2");
    EXPECT_EQ(f.txtEnd->text(), "5");
    f.Option2->click();
    f.Option1->click();
    EXPECT_FALSE(f.txtStart->isEnabled());
    EXPECT_EQ(f.txtEnd->text(), "5");
}

TEST(frmOCR, SpinnerAndBusyBarAnimateAtEveryTick) {
    ScratchDriveC c;
    FakeViewer v;
    frmOCR f(v.viewer());
    f.intSpinPhase = 1;  // as a Start click leaves it
    QStringList spins;
    QList<int> bars;
    for (int i = 0; i < 12; ++i) {
        f.Timer1_Timer();
        spins << f.lblP->text();
        bars << f.PBr->value();
    }
    EXPECT_EQ(spins, QStringList({"\\", "|", "/", "-", "\\", "|", "/", "-", "\\", "|", "/", "-"}));
    EXPECT_EQ(bars, QList<int>({10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 10, 20}));
    EXPECT_EQ(f.intBarValue, 20);

    // Every wrap of the bar picks a new pace of 1 to 101 ms, and the pace changes.
    QSet<int> paces;
    for (int wrap = 0; wrap < 20; ++wrap) {
        for (int i = 0; i < 10; ++i) f.Timer1_Timer();
        EXPECT_GE(f.Timer1->interval(), 1);
        EXPECT_LE(f.Timer1->interval(), 101);
        EXPECT_EQ(f.Timer1->interval(), f.intInterval);
        paces.insert(f.intInterval);
    }
    EXPECT_GT(paces.size(), 5);

    // A phase out of the cycle leaves the spinner as it is.
    f.lblP->setText("x");
    f.intSpinPhase = 7;
    f.Timer1_Timer();
    EXPECT_EQ(f.lblP->text(), "x");
}

TEST(frmOCR, RangeCheckRefusesEveryFailingCaseWithoutStartingARun) {
    ScratchDriveC c;
    setPathIni(QString());
    FakeViewer v;
    v.pageCount = 10;
    v.currentPage = 1;
    struct Case {
        int option;
        QString start, end;
        long pages;
    };
    const QList<Case> cases = {
        {2, "11", "12", 10},  // both beyond the last page
        {2, "1", "11", 10},   // end beyond
        {2, "11", "3", 10},   // start beyond
        {2, "0", "3", 10},    // start below 1
        {2, "3", "0", 10},    // end below 1
        {2, "-2", "3", 10},
        {2, "abc", "3", 10},  // not a number
        {2, "3", "", 10},     // empty
        {2, "1", "1", -1},    // no document
        {2, "1", "1", 0},     // no pages
        {2, "0.4", "3", 10},  // rounds to 0
        {2, "1", "1e6", 10},
        {3, "0", "1", 10},    // all pages with a disabled box holding 0
        {3, "", "1", 10},     // ... or nothing
        {1, "1", "99", 10},   // the current page does not escape the check
    };
    for (const Case& k : cases) {
        forms::ScriptedUi ui;
        v.pageCount = k.pages;
        frmOCR f(v.viewer());
        f.Option2->click();
        f.txtStart->setText(k.start);
        f.txtEnd->setText(k.end);
        if (k.option == 1) f.Option1->click();
        if (k.option == 3) f.Option3->click();
        f.cmdStart->click();
        const QString what = QString("option %1, %2 to %3 of %4").arg(k.option).arg(k.start, k.end).arg(k.pages);
        ASSERT_EQ(ui.shown.size(), 1) << what.toStdString();
        EXPECT_EQ(ui.shown[0].prompt, "Please check the page range") << what.toStdString();
        EXPECT_EQ(ui.shown[0].title, "Warning");
        EXPECT_EQ(ui.shown[0].style, forms::vbOKOnly);
        EXPECT_EQ(f.cmdStart->text(), "Start");
        EXPECT_FALSE(f.Timer1->isActive());
        EXPECT_FALSE(f.running());
        EXPECT_EQ(f.lblS->text(), "Status: ");
    }
}
