// A whole session through the window: add by dialog, by folder and by drop, reorder, convert,
// and read the pages of the result back.
#include <FreeImage.h>
#include <poppler-qt6.h>

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

#include "WindowFixture.h"
#include "forms/App.h"
#include "win/WinPath.h"

namespace {

// The one-instance lock of this test lives here; it outlasts the lock, which the program
// keeps until it ends.
QTemporaryDir runtime;

struct Ended {
    int code;
};

// A picture whose width tells the pages apart.
void picture(const QString& hostPath, int width, const char* format) {
    QDir().mkpath(QFileInfo(hostPath).absolutePath());
    QImage img(width, 300, QImage::Format_RGB32);
    img.fill(QColor(30 + width / 4, 90, 160));
    ASSERT_TRUE(img.save(hostPath, format)) << hostPath.toStdString();
}

void tiffPicture(const QString& hostPath, int width) {
    FreeImage_Initialise(FALSE);
    FIBITMAP* dib = FreeImage_Allocate(width, 300, 24);
    ASSERT_TRUE(FreeImage_Save(FIF_TIFF, dib, hostPath.toUtf8().constData(), 0));
    FreeImage_Unload(dib);
}

}  // namespace

TEST(Session, AddByDialogFolderAndDropReorderAndConvert) {
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QTemporaryDir program;
    const QString layout = QStringLiteral(LUMIDOC_SOURCE_DIR "/tools/layout-program-folder.sh");
    ASSERT_EQ(QProcess::execute(layout, {program.path()}), 0);
    ASSERT_TRUE(testing_support::linkBuiltProgram(program.path(), "folipress-decoder"));
    forms::App::setPathOverride(win::fromHostPath(program.path()));
    setProgramEnd([](int code) { throw Ended{code}; });

    WindowParts f;
    frmPrinting& w = *f.w;
    w.Form_Load();
    ASSERT_FALSE(w.endedAsSecondInstance);

    QTemporaryDir scans;
    const QString s = scans.path();
    tiffPicture(s + "/σελίδα.tiff", 200);
    picture(s + "/tree/a.png", 260, "PNG");
    picture(s + "/tree/sub/b.jpg", 320, "JPG");
    picture(s + "/c.bmp", 380, "BMP");

    f.dialogs.answerFile(s + "/σελίδα.tiff");
    w.CmdToolsBar_Click(0);
    f.browser.answerFolder(s + "/tree");
    w.menuFolder->trigger();
    auto drop = WindowParts::fileDrop({s + "/c.bmp"});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, drop.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.List2->viewport(), &enter);
    QDropEvent release(QPointF(5, 5), Qt::CopyAction, drop.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.List2->viewport(), &release);
    ASSERT_EQ(w.List1->count(), 4);
    EXPECT_EQ(w.List1->item(0)->text(), "c:\\tmp\\1.tiff");

    // c.bmp from last to second.
    f.select(3);
    w.CmdToolsBar[6]->click();
    w.menuUp->trigger();
    const QString z = win::fromHostPath(s);
    EXPECT_EQ(f.texts(w.List2), (QStringList{z + "\\??????.tiff", z + "\\c.bmp",
                                             z + "\\tree\\a.png", z + "\\tree\\sub\\b.jpg"}));
    EXPECT_EQ(f.label(), "Page Number of Selected File: 2");

    w.txtTitle->setText("Session");
    try {
        w.Command3->click();
    } catch (const Ended& e) {
        FAIL() << "the run ended the program with " << e.code << ": "
               << (f.ui.shown.isEmpty() ? "" : f.ui.shown.last().prompt.toStdString());
    }
    setProgramEnd(nullptr);
    forms::App::setPathOverride(QString());

    const QString pdf = f.driveC.hostPath("output/Session.pdf");
    std::unique_ptr<Poppler::Document> doc = Poppler::Document::load(pdf);
    ASSERT_TRUE(doc) << pdf.toStdString();
    ASSERT_FALSE(doc->isLocked());
    EXPECT_EQ(doc->info("Title"), "Session");
    ASSERT_EQ(doc->numPages(), 4);
    // Pages keep the pictures' proportions: widths in the order of the list.
    const int widths[4] = {200, 380, 260, 320};
    for (int i = 0; i < 4; ++i) {
        const QSizeF size = doc->page(i)->pageSizeF();
        EXPECT_NEAR(size.width() / size.height(), widths[i] / 300.0, 0.01) << "page " << i + 1;
    }
    EXPECT_EQ(f.shell.opened, QStringList{"C:\\output"});
}
