// The viewer window: status line, paging, zoom, view cycle, bookmark pane, the recognition
// command, hover tips, menus, the exit question and the resize rule.
#include "Form1.h"
#include "FormTestSupport.h"
#include "ProgramVariables.h"
#include "TestPdf.h"

#include <QDate>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include <gtest/gtest.h>

using form_test::Scene;
using form_test::WhenModal;

namespace {

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override {
        form.show();
        ASSERT_TRUE(form.Form_Load());
        form.Timer2->stop();  // no start-up step in these tests
        form.endProgram = [this] { ++ended; };
    }
    void openPdf(int pages) {
        const QString host = scene.docs("doc.pdf");
        ASSERT_TRUE(test_pdf::makePdf(host, pages));
        scene.dialogs.answerFile(host);
        form.cmdOpen_Click();
        ASSERT_EQ(form.MyPDFView1->PageCount(), pages);
    }
    QString status() const { return form.lblPage->text(); }

    Scene scene;
    Form1 form;
    int ended = 0;
};

TEST_F(Form1Test, StatusLineWithoutADocument) {
    EXPECT_EQ(status(), " No Page");
    EXPECT_EQ(form.lblTip->text(), " None");
    form.NextPage_Click();
    EXPECT_EQ(status(), " No Page");
    form.PreviousPage_Click();
    EXPECT_EQ(status(), " No Page");
    // The first/last buttons write the line unguarded: -1 until the next tick.
    form.cmdFirst_Click();
    EXPECT_EQ(status(), " Page: -1/-1      100%");
    form.Timer1_Timer();
    EXPECT_EQ(status(), " No Page");
    form.cmdLast_Click();
    EXPECT_EQ(status(), " Page: -1/-1      100%");
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_EQ(form.Timer1->interval(), 1000);
}

TEST_F(Form1Test, StatusLineFollowsPagingAndClosing) {
    openPdf(3);
    EXPECT_EQ(status(), " Page: 1/3      100%");
    form.NextPage_Click();
    EXPECT_EQ(status(), " Page: 2/3      100%");
    form.cmdLast_Click();
    EXPECT_EQ(status(), " Page: 3/3      100%");
    form.NextPage_Click();  // nothing after the last page
    EXPECT_EQ(status(), " Page: 3/3      100%");
    form.PreviousPage_Click();
    EXPECT_EQ(status(), " Page: 2/3      100%");
    form.cmdFirst_Click();
    EXPECT_EQ(status(), " Page: 1/3      100%");
    // The menu runs the buttons' handlers.
    form.menuNextPage->trigger();
    EXPECT_EQ(status(), " Page: 2/3      100%");
    form.menuPreviousPage->trigger();
    EXPECT_EQ(status(), " Page: 1/3      100%");
    // Closing leaves the line until the next tick.
    form.menuClose->trigger();
    EXPECT_EQ(status(), " Page: 1/3      100%");
    form.Timer1_Timer();
    EXPECT_EQ(status(), " No Page");
}

TEST_F(Form1Test, ZoomStepsByATwentiethAndShowsWholePercents) {
    openPdf(2);
    form.MyPDFView1->setZoomFactor(1.0);
    const char* up[] = {"120%", "140%", "160%", "180%", "200%"};
    for (const char* expected : up) {
        form.ZoomIn_Click();
        EXPECT_TRUE(status().endsWith(expected)) << status().toStdString();
    }
    form.mneuZoomIn->trigger();
    EXPECT_TRUE(status().endsWith("220%"));
    form.menuZoomOut->trigger();
    form.ZoomOut_Click();
    EXPECT_TRUE(status().endsWith("180%")) << status().toStdString();
    // The viewer's floor stops the zoom from reaching nothing.
    for (int i = 0; i < 12; ++i)
        form.ZoomOut_Click();
    EXPECT_EQ(status(), " Page: 1/2      10%");
    // A fraction of a percent is cut off, not rounded.
    form.MyPDFView1->setZoomFactor(0.8567);
    form.Timer1_Timer();
    EXPECT_EQ(status(), " Page: 1/2      85%");
}

TEST_F(Form1Test, ViewCycleRunsFourStatesAndTheFifthClickRepeatsTheFirst) {
    openPdf(3);
    EXPECT_EQ(form.ViewState, 1);
    form.MyPDFView1->ShowBookmarkPane(0);
    form.NormalSize_Click();
    EXPECT_EQ(form.MyPDFView1->layoutMode(), 1);
    const double widthZoom = form.MyPDFView1->ZoomFactor();
    form.NormalSize_Click();
    EXPECT_EQ(form.MyPDFView1->layoutMode(), 1);
    const double pageZoom = form.MyPDFView1->ZoomFactor();
    EXPECT_LT(pageZoom, widthZoom);
    form.NormalSize_Click();
    EXPECT_EQ(form.MyPDFView1->layoutMode(), 2);
    EXPECT_GT(form.MyPDFView1->ZoomFactor(), pageZoom);
    form.NormalSize_Click();
    EXPECT_EQ(form.MyPDFView1->layoutMode(), 2);
    EXPECT_LT(form.MyPDFView1->ZoomFactor(), widthZoom);
    EXPECT_EQ(form.ViewState, 1);
    form.NormalSize_Click();  // the fifth
    EXPECT_EQ(form.MyPDFView1->layoutMode(), 1);
    EXPECT_DOUBLE_EQ(form.MyPDFView1->ZoomFactor(), widthZoom);
    EXPECT_EQ(form.ViewState, 2);
    // The fit buttons leave the cycle where it is.
    form.FitPage_Click();
    EXPECT_DOUBLE_EQ(form.MyPDFView1->ZoomFactor(), pageZoom);
    form.FitWidth_Click();
    EXPECT_DOUBLE_EQ(form.MyPDFView1->ZoomFactor(), widthZoom);
    EXPECT_EQ(form.ViewState, 2);
}

TEST_F(Form1Test, BookmarkButtonTogglesThePane) {
    EXPECT_EQ(BookmarkPaneShown, 1);
    form.cmdMenu_Click();
    EXPECT_EQ(BookmarkPaneShown, 0);
    EXPECT_FALSE(form.MyPDFView1->bookmarkPaneVisible());
    form.cmdMenu_Click();
    EXPECT_EQ(BookmarkPaneShown, 1);
    EXPECT_TRUE(form.MyPDFView1->bookmarkPaneVisible());
    // A value that is neither 1 nor 0 turns the pane off.
    BookmarkPaneShown = 5;
    form.cmdMenu_Click();
    EXPECT_EQ(BookmarkPaneShown, 0);
}

TEST_F(Form1Test, StartOcrNeedsADocument) {
    {
        WhenModal watch([](QWidget* w) { w->close(); });
        form.cmdOCRAll_Click();
        form.menuStartOCR->trigger();
        QCoreApplication::processEvents();
        EXPECT_FALSE(watch.seen);
    }
#if __has_include("frmOCR.h")
    openPdf(2);
    QString caption;
    WhenModal watch([&](QWidget* w) {
        caption = w->windowTitle();
        w->close();
    });
    form.cmdOCRAll_Click();
    EXPECT_TRUE(watch.seen);
    EXPECT_EQ(caption, "OCR");
#endif
}

TEST_F(Form1Test, HoverTipsNameTheEightButtons) {
    auto enter = [](QWidget* w) {
        QEvent e(QEvent::Enter);
        QCoreApplication::sendEvent(w, &e);
    };
    const QList<QPair<QPushButton*, QString>> tips = {
        {form.cmdExit, " Exit"},          {form.cmdOCRAll, " OCR All Pages"},
        {form.NextPage, " Next Page"},    {form.cmdOpen, " Open a PDF file"},
        {form.NormalSize, " View Mode/Actual Size"}, {form.PreviousPage, " Previous Page"},
        {form.ZoomIn, " Zoom In"},        {form.ZoomOut, " Zoom Out"},
    };
    for (const auto& [button, tip] : tips) {
        enter(button);
        EXPECT_EQ(form.lblTip->text(), tip);
    }
    // Other buttons leave the tip as it was.
    enter(form.cmdFirst);
    enter(form.FitWidth);
    enter(form.cmdMenu);
    EXPECT_EQ(form.lblTip->text(), " Zoom Out");
}

TEST_F(Form1Test, PictureButtonsShowAnImageAndTheRowFitsTheNarrowestWindow) {
    for (QPushButton* b : {form.cmdExit, form.cmdMenu, form.NormalSize, form.ZoomOut, form.ZoomIn,
                           form.cmdLast, form.cmdFirst, form.NextPage, form.PreviousPage,
                           form.ViewMode, form.FitWidth, form.cmdOpen}) {
        EXPECT_TRUE(b->text().isEmpty());
        EXPECT_FALSE(b->icon().isNull()) << b->toolTip().toStdString();
    }
    // The row of buttons fits the narrowest window and no two buttons overlap.
    form.resize(10, 10);
    QRect used;
    QList<QRect> seen;
    for (QPushButton* b : form.centralWidget()->findChildren<QPushButton*>()) {
        for (const QRect& r : seen)
            EXPECT_FALSE(r.intersects(b->geometry())) << b->toolTip().toStdString();
        seen << b->geometry();
        used |= b->geometry();
    }
    // With room to spare for the button's own frame.
    EXPECT_LE(used.right(), form.centralWidget()->width() - 8);
}

TEST_F(Form1Test, ExitAsksFirstFromTheMenuButNotFromTheButton) {
    scene.ui.messageAnswers << forms::vbCancel;
    form.menuExit_Click();
    ASSERT_EQ(scene.ui.shown.size(), 1);
    EXPECT_EQ(scene.ui.shown[0].prompt, "Are you sure to exit?");
    EXPECT_EQ(scene.ui.shown[0].title, "Quit");
    EXPECT_EQ(scene.ui.shown[0].style & 7, forms::vbOKCancel);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(ended, 0);
    scene.ui.messageAnswers << forms::vbOK;
    form.menuExit_Click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(ended, 1);
}

TEST_F(Form1Test, ExitButtonUnloadsAtOnce) {
    form.cmdExit_Click();
    EXPECT_TRUE(scene.ui.shown.isEmpty());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(ended, 1);
}

TEST_F(Form1Test, HelpWebsiteAndAboutNameTheSuitesOwnPages) {
    form.menuHelp_Click();
    form.menuWeb_Click();
    ASSERT_EQ(scene.shell.opened.size(), 2);
    EXPECT_EQ(scene.shell.opened[0], forms::App::path() + "\\UserGuide.html");
    EXPECT_EQ(scene.shell.opened[1], "https://lumidoc.example/");
    form.menuA_Click();
    ASSERT_EQ(scene.ui.shown.size(), 1);
    EXPECT_EQ(scene.ui.shown[0].title, "About");
    const QStringList lines = scene.ui.shown[0].prompt.split("\r\n");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("Lumidoc"));
    EXPECT_TRUE(lines[0].endsWith(QString::number(QDate::currentDate().year())));
    EXPECT_EQ(lines[1], "https://lumidoc.example/");
}

TEST_F(Form1Test, ResizeKeepsTheFloorAndLaysOutTheBottomLine) {
    form.resize(100, 100);
    QCoreApplication::processEvents();
    EXPECT_GE(form.Width(), 8700);
    EXPECT_GE(form.Height(), 5880);
    // Even where the minimum size is not enforced, the resize handler snaps back.
    form.setMinimumSize(0, 0);
    form.resize(200, 150);
    QCoreApplication::processEvents();
    EXPECT_GE(form.Width(), 8700);
    EXPECT_GE(form.Height(), 5880);
    EXPECT_LT(form.Width(), 8700 + 30);
    EXPECT_LT(form.Height(), 5880 + 30);

    form.resize(900, 700);
    QCoreApplication::processEvents();
    const double tx = forms::App::twipsPerPixelX();
    const double ty = forms::App::twipsPerPixelY();
    const int w = form.Width();
    const int h = form.Height();
    EXPECT_NEAR(form.lblTip->y() * ty, h - 1060, ty);
    EXPECT_EQ(form.lblPage->y(), form.lblTip->y());
    EXPECT_NEAR(form.MyPDFView1->height() * ty, h - form.lblTip->height() * ty - 720 - 820, 2 * ty);
    EXPECT_NEAR(form.MyPDFView1->width() * tx, w - 135, tx);
    EXPECT_NEAR(form.lblPage->width() * tx, w - form.lblTip->width() * tx - 120, 2 * tx);
    // Everything stays inside the client area, viewer above the bottom line.
    EXPECT_LE(form.lblTip->geometry().bottom(), form.centralWidget()->height());
    EXPECT_LE(form.MyPDFView1->geometry().bottom(), form.lblTip->y());
    EXPECT_LE(form.MyPDFView1->geometry().right(), form.centralWidget()->width());
    // The focus walks the buttons and stays on the open button.
    EXPECT_EQ(form.focusWidget(), form.cmdOpen);
}

}  // namespace
