// The launcher window on the offscreen screen (800 x 800 pixels, 96 dpi): start-up off the
// screen, the one-shot shaping and centring, the button pictures, starting the tools, ending.
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"
#include "forms/App.h"
#include "forms/MessageBox.h"
#include "frmSplash.h"
#include "win/RuntimeError.h"
#include "win/WinPath.h"

using testing_support::waitUntil;
using testing_support::writeFile;
using testing_support::writeScript;

namespace {

const QColor kKey(255, 0, 255);

// Each test process keeps its own instance lock, so parallel test processes never see each
// other as a running launcher.
void ownRuntimeFolder() {
    static QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
}

// A program folder of stand-ins that record that they were started and with how many
// arguments.
struct ProgramFolder {
    QTemporaryDir dir;
    explicit ProgramFolder(bool withStandIns = true) {
        if (withStandIns) {
            for (const char* name : {"folipress", "lumidoc"}) {
                // Written aside and renamed, so the record never shows up empty.
                const QString record = dir.filePath(QString("started-") + name);
                writeScript(dir.filePath(name), QString("echo $# > '%1.new' && mv '%1.new' '%1'").arg(record));
            }
        }
        forms::App::setPathOverride(win::fromHostPath(dir.path()));
    }
    ~ProgramFolder() { forms::App::setPathOverride(QString()); }
    bool started(const char* name) const {
        return QFile::exists(dir.filePath(QString("started-") + name));
    }
    QByteArray arguments(const char* name) const {
        return testing_support::readFile(dir.filePath(QString("started-") + name)).trimmed();
    }
};

struct Splash {
    frmSplash form;
    int endings = 0;
    int exitCode = -1;
    Splash() {
        ownRuntimeFolder();
        QObject::connect(&form, &frmSplash::ended, [this](int code) {
            ++endings;
            exitCode = code;
        });
    }
    // Loads and shows the window and lets the one-shot set-up run.
    void bringUp() {
        ASSERT_TRUE(form.Form_Load());
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        ASSERT_TRUE(waitUntil([&] { return !form.Timer1->isActive(); }, 3000));
    }
    QPoint centreOf(QWidget* w) const { return w->geometry().center(); }
    QPoint background() const { return QPoint(250, 50); }  // header text, no control
};

bool samePicture(const QPixmap& a, const QPixmap& b) {
    return !a.isNull() && a.toImage() == b.toImage();
}

// The window as the desktop shows it: its pixels inside its shape, a colour elsewhere.
QImage composedOver(frmSplash& form, const QColor& desk) {
    QImage out(form.size(), QImage::Format_RGB32);
    out.fill(desk);
    QPainter p(&out);
    p.setClipRegion(form.mask());
    p.drawPixmap(0, 0, form.grab());
    p.end();
    return out;
}

int countColour(const QImage& image, const QColor& colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y) == colour;
    }
    return n;
}

}  // namespace

TEST(SplashWindow, ComesUpOffTheScreenThenShapedAndCentred) {
    Splash s;
    frmSplash& f = s.form;
    ASSERT_TRUE(f.Form_Load());
    // Off the screen by its design size plus 100 twips, not yet shaped.
    EXPECT_DOUBLE_EQ(f.form().left(), -7600);
    EXPECT_DOUBLE_EQ(f.form().top(), -4600);
    EXPECT_EQ(f.pos(), QPoint(-507, -307));
    EXPECT_EQ(f.size(), QSize(500, 300));
    EXPECT_TRUE(f.mask().isEmpty());
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_EQ(f.Timer1->interval(), 50);
    EXPECT_TRUE(f.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(f.windowTitle(), "Lumidoc");
    EXPECT_FALSE(f.windowIcon().isNull());

    f.show();
    ASSERT_TRUE(waitUntil([&] { return !f.Timer1->isActive(); }, 3000));
    // Centred on the 800 x 800 pixel screen: (12000 - 7500) / 2 and (12000 - 4500) / 2 twips.
    EXPECT_DOUBLE_EQ(f.form().left(), 2250);
    EXPECT_DOUBLE_EQ(f.form().top(), 3750);
    EXPECT_EQ(f.geometry(), QRect(150, 250, 500, 300));
    EXPECT_FALSE(f.mask().isEmpty());
    // Once only.
    QTest::qWait(120);
    EXPECT_FALSE(f.Timer1->isActive());
}

TEST(SplashWindow, ControlsKeepTheirDesignPixelsAt96Dpi) {
    Splash s;
    frmSplash& f = s.form;
    ASSERT_TRUE(f.Form_Load());
    ASSERT_DOUBLE_EQ(forms::App::twipsPerPixelX(), 15);
    EXPECT_EQ(f.imgLumidoc->geometry(), QRect(49, 71, 166, 166));
    EXPECT_EQ(f.imgFolipress->geometry(), QRect(277, 71, 167, 167));
    EXPECT_EQ(f.Image1->geometry(), QRect(484, 4, 11, 15));
    EXPECT_DOUBLE_EQ(f.control("imgFolipress").left(), 4150);
    EXPECT_DOUBLE_EQ(f.lblFolipress->font().pointSizeF(), 9);
    EXPECT_DOUBLE_EQ(f.lblLumidoc->font().pointSizeF(), 9);
    EXPECT_EQ(f.lblFolipress->palette().color(QPalette::WindowText), QColor(180, 180, 180));
    EXPECT_EQ(f.lblLumidoc->palette().color(QPalette::WindowText), QColor(180, 180, 180));
    // The picture holders lie outside the window and are never shown.
    for (ImageControl* holder :
         {f.imgFolipressDark, f.imgLumidocdark, f.imgFolipressData, f.imgLumidocdata}) {
        EXPECT_FALSE(holder->isVisibleTo(&f));
        EXPECT_EQ(holder->picture().size(), QSize(166, 166));
        EXPECT_GE(holder->x(), 500);
    }
    // The labels lie below the window.
    EXPECT_GE(f.lblFolipress->y(), 300);
    // A control without a property skips that statement; the timer has none.
    EXPECT_THROW(f.control("Timer1").left(), win::RuntimeError);
    EXPECT_THROW(f.control("imgLumidoc").fontSize(), win::RuntimeError);
}

TEST(SplashWindow, BackgroundKeyFrameIsExactlyTheTransparentPart) {
    Splash s;
    frmSplash& f = s.form;
    const QImage bg = f.background().toImage();
    ASSERT_EQ(bg.size(), QSize(500, 300));
    // Magenta: the outer frame (two rows at the bottom) and one pixel inside each corner.
    auto keyed = [](int x, int y) {
        return x == 0 || x == 499 || y == 0 || y >= 298 || (x == 1 && y == 1) ||
               (x == 498 && y == 1) || (x == 1 && y == 297) || (x == 498 && y == 297);
    };
    int wrong = 0;
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 500; ++x) wrong += (bg.pixelColor(x, y) == kKey) != keyed(x, y);
    }
    EXPECT_EQ(wrong, 0);

    s.bringUp();
    const QRegion shape = f.mask();
    for (QPoint p : {QPoint(0, 0), QPoint(1, 1), QPoint(498, 1), QPoint(1, 297), QPoint(498, 297),
                     QPoint(250, 298), QPoint(250, 299), QPoint(499, 150)}) {
        EXPECT_FALSE(shape.contains(p)) << p.x() << "," << p.y();
    }
    for (QPoint p : {QPoint(1, 2), QPoint(2, 1), QPoint(250, 297), QPoint(498, 150), QPoint(489, 10)}) {
        EXPECT_TRUE(shape.contains(p)) << p.x() << "," << p.y();
    }
}

TEST(SplashWindow, NoMagentaShowsInAnyButtonState) {
    Splash s;
    frmSplash& f = s.form;
    s.bringUp();
    auto check = [&](const char* state) {
        const QImage seen = composedOver(f, QColor(70, 130, 180));
        EXPECT_EQ(countColour(seen, kKey), 0) << state;
        // The desk shows through only where the key was: frame and corners.
        EXPECT_EQ(countColour(seen, QColor(70, 130, 180)), 500 * 3 + 297 * 2 + 4) << state;
    };
    check("none");
    QTest::mouseMove(f.windowHandle(), s.centreOf(f.imgLumidoc));
    QTest::mousePress(f.windowHandle(), Qt::LeftButton, {}, s.centreOf(f.imgFolipress));
    check("hover and pressed");
    QTest::mouseRelease(f.windowHandle(), Qt::LeftButton, {}, s.background());
}

TEST(SplashWindow, ButtonPicturesFollowTheMouse) {
    ProgramFolder programs;
    Splash s;
    frmSplash& f = s.form;
    s.bringUp();
    EXPECT_TRUE(f.imgFolipress->picture().isNull());
    EXPECT_TRUE(f.imgLumidoc->picture().isNull());
    EXPECT_TRUE(f.lblFolipress->isVisibleTo(&f));
    EXPECT_TRUE(f.lblLumidoc->isVisibleTo(&f));

    QTest::mouseMove(f.windowHandle(), s.centreOf(f.imgLumidoc));
    EXPECT_TRUE(samePicture(f.imgLumidoc->picture(), f.imgLumidocdata->picture()));
    EXPECT_TRUE(f.imgFolipress->picture().isNull());
    EXPECT_TRUE(f.lblFolipress->isVisibleTo(&f)) << "only a move over the background hides them";

    // From a button onto the background: both pictures cleared, both labels hidden.
    QTest::mouseMove(f.windowHandle(), s.centreOf(f.imgFolipress));
    EXPECT_TRUE(samePicture(f.imgFolipress->picture(), f.imgFolipressData->picture()));
    QTest::mouseMove(f.windowHandle(), s.background());
    EXPECT_TRUE(f.imgFolipress->picture().isNull());
    EXPECT_TRUE(f.imgLumidoc->picture().isNull());
    EXPECT_FALSE(f.lblFolipress->isVisibleTo(&f));
    EXPECT_FALSE(f.lblLumidoc->isVisibleTo(&f));

    // Back onto a button: hover again; the labels stay hidden.
    QTest::mouseMove(f.windowHandle(), s.centreOf(f.imgLumidoc));
    EXPECT_TRUE(samePicture(f.imgLumidoc->picture(), f.imgLumidocdata->picture()));
    EXPECT_FALSE(f.lblLumidoc->isVisibleTo(&f));

    // Pressed, released elsewhere: nothing starts and the pressed picture stays...
    QTest::mousePress(f.windowHandle(), Qt::LeftButton, {}, s.centreOf(f.imgLumidoc));
    EXPECT_TRUE(samePicture(f.imgLumidoc->picture(), f.imgLumidocdark->picture()));
    QTest::mouseRelease(f.windowHandle(), Qt::LeftButton, {}, s.background());
    QTest::qWait(200);
    EXPECT_TRUE(samePicture(f.imgLumidoc->picture(), f.imgLumidocdark->picture()));
    EXPECT_EQ(s.endings, 0);
    EXPECT_FALSE(programs.started("lumidoc"));
    // ...until the next move over that button (hover) or over the background (none).
    QTest::mouseMove(f.windowHandle(), s.centreOf(f.imgLumidoc) + QPoint(3, 3));
    EXPECT_TRUE(samePicture(f.imgLumidoc->picture(), f.imgLumidocdata->picture()));
    QTest::mousePress(f.windowHandle(), Qt::RightButton, {}, s.centreOf(f.imgFolipress));
    EXPECT_TRUE(samePicture(f.imgFolipress->picture(), f.imgFolipressDark->picture()));
    QTest::mouseRelease(f.windowHandle(), Qt::RightButton, {}, s.centreOf(f.imgFolipress));
    EXPECT_EQ(s.endings, 0) << "only the left button clicks";
    QTest::mouseMove(f.windowHandle(), s.background());
    EXPECT_TRUE(f.imgFolipress->picture().isNull());
    EXPECT_TRUE(f.imgLumidoc->picture().isNull());
}

TEST(SplashWindow, EachButtonStartsItsToolThenEnds) {
    struct Case {
        const char* button;
        const char* program;
        const char* other;
    };
    for (const Case& c : {Case{"imgLumidoc", "lumidoc", "folipress"},
                          Case{"imgFolipress", "folipress", "lumidoc"}}) {
        ProgramFolder programs;
        Splash s;
        frmSplash& f = s.form;
        s.bringUp();
        QWidget* button = f.findChild<QWidget*>(c.button);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(f.windowHandle(), Qt::LeftButton, {}, s.centreOf(button));
        EXPECT_EQ(s.endings, 1) << c.button;
        EXPECT_EQ(s.exitCode, 0);
        EXPECT_FALSE(f.isVisible()) << "the window is unloaded";
        ASSERT_TRUE(waitUntil([&] { return programs.started(c.program); }, 5000)) << c.program;
        EXPECT_EQ(programs.arguments(c.program), "0") << "started without arguments";
        QTest::qWait(100);
        EXPECT_FALSE(programs.started(c.other));
    }
}

TEST(SplashWindow, AToolThatCannotStartEndsWithAnErrorReportNamingIt) {
    {
        ProgramFolder empty(false);
        forms::ScriptedUi ui;
        Splash s;
        frmSplash& f = s.form;
        s.bringUp();
        QTest::mouseClick(f.windowHandle(), Qt::LeftButton, {}, s.centreOf(f.imgFolipress));
        ASSERT_EQ(ui.shown.size(), 1);
        const QString expected = win::fromHostPath(empty.dir.path()) + "\\folipress.exe";
        EXPECT_TRUE(ui.shown[0].prompt.contains("Run-time error '53'")) << ui.shown[0].prompt.toStdString();
        EXPECT_TRUE(ui.shown[0].prompt.contains(expected)) << ui.shown[0].prompt.toStdString();
        EXPECT_TRUE(ui.shown[0].style & forms::vbCritical);
        EXPECT_EQ(s.endings, 1);
        EXPECT_NE(s.exitCode, 0);
        EXPECT_TRUE(f.isVisible()) << "an error end does not unload the window first";
        // Nothing more happens once the program ends.
        QTest::mouseClick(f.windowHandle(), Qt::LeftButton, {}, s.centreOf(f.imgLumidoc));
        EXPECT_EQ(ui.shown.size(), 1);
        EXPECT_EQ(s.endings, 1);
    }
    {
        // Present but not a program the system can run.
        ProgramFolder broken(false);
        const QString file = broken.dir.filePath("lumidoc");
        ASSERT_TRUE(writeFile(file, QByteArray("\x01\x02not a program", 15)));
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        forms::ScriptedUi ui;
        Splash s;
        s.bringUp();
        QTest::mouseClick(s.form.windowHandle(), Qt::LeftButton, {}, s.centreOf(s.form.imgLumidoc));
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_TRUE(ui.shown[0].prompt.contains("lumidoc.exe")) << ui.shown[0].prompt.toStdString();
        EXPECT_EQ(s.endings, 1);
        EXPECT_NE(s.exitCode, 0);
    }
}

TEST(SplashWindow, CloseAreaAndBackgroundDoubleClickEndTheLauncher) {
    {
        Splash s;
        frmSplash& f = s.form;
        s.bringUp();
        const QCursor hand = f.Image1->cursor();
        EXPECT_EQ(hand.shape(), Qt::BitmapCursor);
        EXPECT_EQ(hand.hotSpot(), QPoint(6, 0));
        EXPECT_EQ(hand.pixmap().size(), QSize(32, 32));
        // The close area closes on the first click of a double click.
        QTest::mouseDClick(f.windowHandle(), Qt::LeftButton, {}, s.centreOf(f.Image1));
        EXPECT_EQ(s.endings, 1);
        EXPECT_FALSE(f.isVisible());
    }
    {
        Splash s;
        frmSplash& f = s.form;
        s.bringUp();
        QTest::mouseDClick(f.windowHandle(), Qt::LeftButton, {}, s.background());
        EXPECT_EQ(s.endings, 1);
        EXPECT_EQ(s.exitCode, 0);
        EXPECT_FALSE(f.isVisible());
    }
    {
        // A double click that lands on a button is the button's, not the background's.
        ProgramFolder programs;
        Splash s;
        frmSplash& f = s.form;
        s.bringUp();
        QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(20, 20),
                        f.imgLumidoc->mapToGlobal(QPointF(20, 20)), Qt::LeftButton,
                        Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.imgLumidoc, &dbl);
        EXPECT_EQ(s.endings, 0);
        EXPECT_TRUE(f.isVisible());
    }
}

TEST(SplashWindow, DraggingTheBackgroundMovesTheWindow) {
    Splash s;
    frmSplash& f = s.form;
    s.bringUp();
    const QPoint start = f.pos();
    // A move without a button held leaves the window where it is.
    QTest::mouseMove(f.windowHandle(), s.background() + QPoint(10, 0));
    EXPECT_EQ(f.pos(), start);
    QTest::mousePress(f.windowHandle(), Qt::LeftButton, {}, s.background());
    QTest::mouseMove(f.windowHandle(), s.background() + QPoint(40, 30));
    EXPECT_EQ(f.pos(), start + QPoint(40, 30));
    QTest::mouseRelease(f.windowHandle(), Qt::LeftButton, {}, s.background());
    const QPoint dropped = f.pos();
    QTest::mouseMove(f.windowHandle(), s.background() + QPoint(5, 5));
    EXPECT_EQ(f.pos(), dropped);
    // The twip figures follow the window, and setting one keeps the others where it was left.
    EXPECT_DOUBLE_EQ(f.form().left(), dropped.x() * 15.0);
    f.form().setWidth(f.form().width());
    EXPECT_EQ(f.pos(), dropped);
    EXPECT_EQ(s.endings, 0);
}
