// The viewer control: results without a document, passwords, bad files, paging, zoom, layouts,
// fitting, the bookmark pane, and rendering only what is on screen.
#include "PDFView.h"
#include "TestPdf.h"
#include "TestSupport.h"
#include "win/WinPath.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWindow>

#include <gtest/gtest.h>

using testing_support::waitUntil;

namespace {

class PdfViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(800, 600);
        view.show();
        ASSERT_TRUE(waitUntil([&] { return view.windowHandle() && view.windowHandle()->isExposed(); }, 5000));
    }
    QString make(const QString& name, int pages, bool outline = false) {
        const QString host = dir.path() + "/" + name;
        EXPECT_TRUE(test_pdf::makePdf(host, pages, outline));
        return win::fromHostPath(host);
    }
    QString host(const QString& name) const { return dir.path() + "/" + name; }

    QTemporaryDir dir;
    PDFView view;
};

TEST_F(PdfViewTest, WithoutDocumentEveryCountReadsMinusOneAndCommandsDoNothing) {
    EXPECT_EQ(view.CurrentPage(), -1);
    EXPECT_EQ(view.PageCount(), -1);
    view.GoNextPage();
    view.GoLastPage();
    view.GoPreviousPage();
    view.GoFirstPage();
    view.setCurrentPage(3);
    view.FitToWidth();
    view.FitToPage();
    view.CloseDocument();
    EXPECT_EQ(view.CurrentPage(), -1);
    EXPECT_EQ(view.PageCount(), -1);
}

TEST_F(PdfViewTest, OpensPagesAndClosesADocument) {
    const QString path = make("three.pdf", 3);
    ASSERT_EQ(view.OpenDocument(path, "", 0), 0);
    EXPECT_EQ(view.PageCount(), 3);
    EXPECT_EQ(view.CurrentPage(), 1);
    view.GoPreviousPage();  // nothing before the first page
    EXPECT_EQ(view.CurrentPage(), 1);
    view.GoNextPage();
    EXPECT_EQ(view.CurrentPage(), 2);
    view.GoLastPage();
    EXPECT_EQ(view.CurrentPage(), 3);
    view.GoNextPage();  // nothing after the last
    EXPECT_EQ(view.CurrentPage(), 3);
    view.GoFirstPage();
    EXPECT_EQ(view.CurrentPage(), 1);
    view.setCurrentPage(99);
    EXPECT_EQ(view.CurrentPage(), 3);
    view.CloseDocument();
    EXPECT_EQ(view.CurrentPage(), -1);
    EXPECT_EQ(view.PageCount(), -1);
}

TEST_F(PdfViewTest, ProtectedDocumentAnswersMinusTwoUntilTheRightPasswordComes) {
    if (!QFile::exists("/usr/bin/qpdf"))
        GTEST_SKIP() << "qpdf missing (tools/install-deps.sh installs it)";
    make("plain.pdf", 2);
    ASSERT_TRUE(test_pdf::encryptPdf(host("plain.pdf"), host("locked.pdf"), "s3cret"));
    const QString locked = win::fromHostPath(host("locked.pdf"));
    EXPECT_EQ(view.OpenDocument(locked, "", 0), -2);
    EXPECT_EQ(view.PageCount(), -1);
    EXPECT_EQ(view.OpenDocument(locked, "wrong", 0), -2);
    EXPECT_EQ(view.CurrentPage(), -1);
    EXPECT_EQ(view.OpenDocument(locked, "s3cret", 0), 0);
    EXPECT_EQ(view.PageCount(), 2);
}

TEST_F(PdfViewTest, PasswordsBeyondAsciiOpenOldAndNewEncryption) {
    if (!QFile::exists("/usr/bin/qpdf"))
        GTEST_SKIP() << "qpdf missing";
    make("plain.pdf", 1);
    const QString password = QString::fromUtf8("pässwort");
    for (int bits : {128, 256}) {
        SCOPED_TRACE(bits);
        const QString name = QString("locked%1.pdf").arg(bits);
        ASSERT_TRUE(test_pdf::encryptPdf(host("plain.pdf"), host(name), password, bits));
        EXPECT_EQ(view.OpenDocument(win::fromHostPath(host(name)), "passwort", 0), -2);
        EXPECT_EQ(view.OpenDocument(win::fromHostPath(host(name)), password, 0), 0);
        EXPECT_EQ(view.PageCount(), 1);
    }
}

TEST_F(PdfViewTest, BadFilesLeaveNoDocument) {
    make("good.pdf", 2);
    ASSERT_TRUE(test_pdf::makeDamagedPdf(host("good.pdf"), host("damaged.pdf")));
    ASSERT_TRUE(testing_support::writeFile(host("empty.pdf"), QByteArray()));
    ASSERT_TRUE(testing_support::writeFile(host("text.pdf"), "this is no PDF at all\n"));
    for (const char* name : {"damaged.pdf", "empty.pdf", "text.pdf", "missing.pdf"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(view.OpenDocument(win::fromHostPath(host(name)), "", 0), -1);
        EXPECT_EQ(view.PageCount(), -1);
        EXPECT_EQ(view.CurrentPage(), -1);
    }
    // A folder is not a document either.
    EXPECT_EQ(view.OpenDocument(win::fromHostPath(dir.path()), "", 0), -1);
}

TEST_F(PdfViewTest, OpeningAnotherDocumentReplacesTheFirstAndStartsAtPageOne) {
    ASSERT_EQ(view.OpenDocument(make("a.pdf", 4), "", 0), 0);
    view.GoLastPage();
    ASSERT_EQ(view.OpenDocument(make("b.pdf", 2), "", 0), 0);
    EXPECT_EQ(view.PageCount(), 2);
    EXPECT_EQ(view.CurrentPage(), 1);
    // A failed open does not leave the earlier document behind.
    EXPECT_EQ(view.OpenDocument(win::fromHostPath(host("nothing.pdf")), "", 0), -1);
    EXPECT_EQ(view.PageCount(), -1);
}

TEST_F(PdfViewTest, ZoomTakesAnyStepWithinItsLimits) {
    EXPECT_DOUBLE_EQ(view.ZoomFactor(), 1.0);
    ASSERT_EQ(view.OpenDocument(make("z.pdf", 2), "", 0), 0);
    view.setZoomFactor(1.2);
    EXPECT_DOUBLE_EQ(view.ZoomFactor(), 1.2);
    view.setZoomFactor(-0.4);
    EXPECT_DOUBLE_EQ(view.ZoomFactor(), PDFView::kMinZoom);
    view.setZoomFactor(1000);
    EXPECT_DOUBLE_EQ(view.ZoomFactor(), PDFView::kMaxZoom);
    view.setZoomFactor(std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(view.ZoomFactor(), PDFView::kMaxZoom);
}

TEST_F(PdfViewTest, RendersAPageInOnePieceButOnlyTheVisibleTilesWhenZoomedFarIn) {
    ASSERT_EQ(view.OpenDocument(make("tiles.pdf", 2), "", 0), 0);
    view.setZoomFactor(1.0);
    view.repaint();
    const long atFullPage = view.renderedTileCount();
    EXPECT_EQ(atFullPage, 1);
    view.repaint();  // cached
    EXPECT_EQ(view.renderedTileCount(), atFullPage);
    view.setZoomFactor(PDFView::kMaxZoom);  // a Letter page of some 10000 x 13000 pixels
    view.repaint();
    const long tiles = view.renderedTileCount() - atFullPage;
    EXPECT_GE(tiles, 2);
    EXPECT_LE(tiles, 9);
}

TEST_F(PdfViewTest, FitWidthAndFitPageFollowTheView) {
    ASSERT_EQ(view.OpenDocument(make("fit.pdf", 2), "", 0), 0);
    view.ShowBookmarkPane(0);
    QCoreApplication::processEvents();
    view.FitToWidth();
    const double wide = view.ZoomFactor();
    view.FitToPage();
    const double whole = view.ZoomFactor();
    // A portrait page in a landscape view: the whole page needs less zoom than its width.
    EXPECT_LT(whole, wide);
    const int viewportWidth = view.pageArea()->viewport()->width();
    const double pageWidthPx = 612.0 / 72.0 * view.logicalDpiX() * wide;
    EXPECT_LE(pageWidthPx, viewportWidth);
    EXPECT_GT(pageWidthPx, viewportWidth * 0.85);
    // Fitting is kept when the view grows.
    view.FitToWidth();
    view.resize(1000, 600);
    QCoreApplication::processEvents();
    EXPECT_GT(view.ZoomFactor(), wide);
    // A zoom of the user's ends it.
    view.setZoomFactor(0.5);
    view.resize(700, 600);
    QCoreApplication::processEvents();
    EXPECT_DOUBLE_EQ(view.ZoomFactor(), 0.5);
}

TEST_F(PdfViewTest, LayoutModesKeepThePageAndContinuousScrollingFollowsIt) {
    ASSERT_EQ(view.OpenDocument(make("five.pdf", 5), "", 0), 0);
    EXPECT_EQ(view.layoutMode(), 1);
    view.setCurrentPage(3);
    view.SetLayoutMode(2);
    EXPECT_EQ(view.layoutMode(), 2);
    EXPECT_EQ(view.CurrentPage(), 3);
    view.SetLayoutMode(7);  // not a layout
    EXPECT_EQ(view.layoutMode(), 2);
    // Scrolling to the end of a continuous layout makes the last page current.
    QScrollBar* v = view.pageArea()->verticalScrollBar();
    v->setValue(v->maximum());
    EXPECT_EQ(view.CurrentPage(), 5);
    v->setValue(0);
    EXPECT_EQ(view.CurrentPage(), 1);
    view.SetLayoutMode(1);
    view.GoLastPage();
    EXPECT_EQ(view.CurrentPage(), 5);
}

TEST_F(PdfViewTest, BookmarkPaneListsTheOutlineAndGoesToItsPages) {
    ASSERT_EQ(view.OpenDocument(make("outline.pdf", 3, true), "", 0), 0);
    QTreeWidget* tree = view.bookmarkTree();
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    EXPECT_EQ(tree->topLevelItem(2)->text(0), "Chapter 3");
    emit tree->itemActivated(tree->topLevelItem(2), 0);
    EXPECT_EQ(view.CurrentPage(), 3);
    EXPECT_TRUE(tree->isVisible());
    view.ShowBookmarkPane(0);
    EXPECT_FALSE(tree->isVisible());
    EXPECT_FALSE(view.bookmarkPaneVisible());
    view.ShowBookmarkPane(1);
    EXPECT_TRUE(tree->isVisible());
    view.CloseDocument();
    EXPECT_EQ(tree->topLevelItemCount(), 0);
}

TEST_F(PdfViewTest, FiveHundredPagesOpenAndPageWithoutRenderingThemAll) {
    ASSERT_EQ(view.OpenDocument(make("long.pdf", 500), "", 0), 0);
    EXPECT_EQ(view.PageCount(), 500);
    view.SetLayoutMode(2);
    view.FitToWidth();
    for (int i = 0; i < 50; ++i) {
        view.GoNextPage();
        view.repaint();
    }
    view.GoLastPage();
    view.repaint();
    EXPECT_EQ(view.CurrentPage(), 500);
    view.setZoomFactor(view.ZoomFactor() + 0.2);
    view.repaint();
    // Only the pages that came into view were rendered.
    EXPECT_GT(view.renderedTileCount(), 0);
    EXPECT_LT(view.renderedTileCount(), 300);
}

}  // namespace
