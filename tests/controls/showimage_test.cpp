// The picture control: the fitting rule, redraws, picture loading, persisted properties, events.
#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "ShowImage.h"
#include "TestSupport.h"
#include "forms/App.h"
#include "forms/Picture.h"
#include "forms/SystemColors.h"
#include "win/RuntimeError.h"

using Rect = ShowImage::DrawRect;

namespace {

QImage solid(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// A visible control of the given pixel size without a border, so the drawing fills it.
struct Shown {
    QWidget window;
    ShowImage* control;
    explicit Shown(int w, int h) : control(new ShowImage(&window)) {
        window.resize(w + 20, h + 20);
        control->setBorderStyle(0);
        control->setGeometry(0, 0, w, h);
        window.show();
    }
    QColor at(int x, int y) const { return control->pictureBox()->shownImage().pixelColor(x, y); }
};

}  // namespace

TEST(ShowImageFit, KeepsTheAspectRatioAndCentresOnTheFreeAxis) {
    EXPECT_EQ(ShowImage::fitPicture(400, 300, 2000, 2000), (Rect{0, 250, 2000, 1500}));
    EXPECT_EQ(ShowImage::fitPicture(300, 400, 2000, 1000), (Rect{625, 0, 750, 1000}));
    // 1333.33 rounds to 1333; (2000 - 1333) / 2 = 333.5 goes to the even 334 ...
    EXPECT_EQ(ShowImage::fitPicture(300, 400, 1000, 2000), (Rect{0, 334, 1000, 1333}));
    // ... and 332.5 to the even 332.
    EXPECT_EQ(ShowImage::fitPicture(300, 400, 1000, 1998), (Rect{0, 332, 1000, 1333}));
    // Square in square: fitted by height, fills the box.
    EXPECT_EQ(ShowImage::fitPicture(500, 500, 1200, 1200), (Rect{0, 0, 1200, 1200}));
    // Equal ratios: landscape by height, portrait by width.
    EXPECT_EQ(ShowImage::fitPicture(400, 300, 1600, 1200), (Rect{0, 0, 1600, 1200}));
    EXPECT_EQ(ShowImage::fitPicture(300, 400, 1200, 1600), (Rect{0, 0, 1200, 1600}));
    // A tall box for a landscape picture, a wide box for a portrait one.
    EXPECT_EQ(ShowImage::fitPicture(1000, 500, 3000, 6000), (Rect{0, 2250, 3000, 1500}));
    EXPECT_EQ(ShowImage::fitPicture(500, 1000, 6000, 3000), (Rect{2250, 0, 1500, 3000}));
}

TEST(ShowImageFit, SizesBeyondSixteenBitTwipsStillFit) {
    // 40000 twips is past the 16-bit range: computed in 32 bits instead of failing.
    EXPECT_EQ(ShowImage::fitPicture(400, 300, 40000, 40000), (Rect{0, 5000, 40000, 30000}));
    // A thin picture whose long side and offset pass 16 bits, across and down.
    EXPECT_EQ(ShowImage::fitPicture(3000, 10, 90000, 90000), (Rect{0, 44850, 90000, 300}));
    EXPECT_EQ(ShowImage::fitPicture(10, 3000, 90000, 90000), (Rect{44850, 0, 300, 90000}));
    // At the 16-bit edge: 32767.5 goes to the even 32768, 32766.5 to 32766.
    EXPECT_EQ(ShowImage::fitPicture(1, 1, 32767, 32767), (Rect{0, 0, 32767, 32767}));
    EXPECT_EQ(ShowImage::fitPicture(1, 1, 32767.5, 32767.5), (Rect{0, 0, 32768, 32768}));
    EXPECT_EQ(ShowImage::fitPicture(1, 1, 32766.5, 32766.5), (Rect{0, 0, 32766, 32766}));
    // At the 32-bit edge: the largest single below 2^31 still fits, 2^31 overflows.
    EXPECT_EQ(ShowImage::fitPicture(1, 1, 2147483520.0, 2147483520.0),
              (Rect{0, 0, 2147483520, 2147483520}));
    try {
        ShowImage::fitPicture(1, 1, 2147483648.0, 2147483648.0);
        ADD_FAILURE() << "no overflow";
    } catch (const win::RuntimeError& e) {
        EXPECT_EQ(e.number(), win::kErrOverflow);
    }
}

TEST(ShowImage, DrawsThePictureFittedAndRedrawsOnResize) {
    Shown s(200, 200);  // 3000 x 3000 twips at 15 twips per pixel
    s.control->setPicture(solid(400, 300, Qt::red));
    // Fitted by width: 200 x 150 pixels at y = 25.
    EXPECT_EQ(s.at(100, 24), forms::oleColorToQColor(0x8000000F));
    EXPECT_EQ(s.at(100, 25), QColor(Qt::red));
    EXPECT_EQ(s.at(100, 174), QColor(Qt::red));
    EXPECT_EQ(s.at(100, 175), forms::oleColorToQColor(0x8000000F));
    EXPECT_EQ(s.at(0, 100), QColor(Qt::red));
    EXPECT_EQ(s.at(199, 100), QColor(Qt::red));

    // Wider than the picture: fitted by height and centred across.
    s.control->resize(400, 100);
    EXPECT_EQ(s.control->pictureBox()->size(), QSize(400, 100));
    EXPECT_EQ(s.at(132, 50), forms::oleColorToQColor(0x8000000F));
    EXPECT_EQ(s.at(134, 50), QColor(Qt::red));
    EXPECT_EQ(s.at(265, 50), QColor(Qt::red));
    EXPECT_EQ(s.at(268, 50), forms::oleColorToQColor(0x8000000F));

    // A new background colour redraws with it.
    s.control->setBackColor(0x00FF00);  // green in 0x00BBGGRR
    EXPECT_EQ(s.at(10, 50), QColor(0, 255, 0));
    EXPECT_EQ(s.at(200, 50), QColor(Qt::red));
}

TEST(ShowImage, WithoutAPictureNothingIsRedrawnOrCleared) {
    Shown s(100, 100);
    // Something already drawn on the box stays through resizes and colour changes.
    s.control->pictureBox()->PaintPicture(solid(10, 10, Qt::blue), 0, 0, 300, 300);
    s.control->resize(120, 120);
    s.control->setBackColor(0x0000FF);
    EXPECT_EQ(s.at(5, 5), QColor(Qt::blue));
    EXPECT_EQ(s.at(50, 50), QColor(Qt::red));  // the new background around it
    s.control->showImageInfo();
    EXPECT_EQ(s.at(5, 5), QColor(Qt::blue));
}

TEST(ShowImage, ClsKeepsThePictureAndBorderChangesDoNotRedraw) {
    Shown s(100, 100);
    s.control->setPicture(solid(50, 50, Qt::red));
    EXPECT_EQ(s.at(50, 50), QColor(Qt::red));
    s.control->Cls();
    EXPECT_NE(s.at(50, 50), QColor(Qt::red));
    EXPECT_FALSE(s.control->Picture().isNull());
    s.control->setBorderStyle(1);
    EXPECT_EQ(s.control->BorderStyle(), 1);
    EXPECT_NE(s.control->pictureBox()->shownImage().pixelColor(48, 48), QColor(Qt::red));
    s.control->resize(101, 101);
    EXPECT_EQ(s.control->pictureBox()->shownImage().pixelColor(48, 48), QColor(Qt::red));
}

TEST(ShowImage, ZeroSizedControlDrawsNothingAndDoesNotFail) {
    QWidget window;
    auto* c = new ShowImage(&window);
    window.show();
    c->resize(0, 0);
    EXPECT_NO_THROW(c->setPicture(solid(10, 10, Qt::red)));
    EXPECT_NO_THROW(c->resize(0, 50));
}

TEST(ShowImage, DrawsAFittedWidthPastSixteenBitTwips) {
    Shown s(3000, 50);  // 45000 x 750 twips
    s.control->setPicture(solid(100, 1, Qt::red));
    // Fitted by width: 45000 x 450 twips at y = 150, that is 3000 x 30 pixels at y = 10.
    EXPECT_EQ(s.at(1500, 9), forms::oleColorToQColor(0x8000000F));
    for (int x : {0, 1500, 2999}) EXPECT_EQ(s.at(x, 10), QColor(Qt::red)) << x;
    EXPECT_EQ(s.at(2999, 39), QColor(Qt::red));
    EXPECT_EQ(s.at(1500, 40), forms::oleColorToQColor(0x8000000F));
}

TEST(ShowImage, LoadsPictureFilesAndKeepsThePreviousOneOnFailure) {
    testing_support::ScratchDriveC driveC;
    QDir().mkpath(driveC.hostPath("pics"));
    ASSERT_TRUE(solid(40, 30, Qt::red).save(driveC.hostPath("pics/a.bmp"), "BMP"));
    ASSERT_TRUE(solid(30, 40, Qt::blue).save(driveC.hostPath("pics/Ωb.jpg"), "JPEG"));
    // A 1 x 1 GIF (Qt writes none): one red pixel.
    testing_support::writeFile(driveC.hostPath("pics/c.gif"),
                               QByteArray("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00"
                                          "\x00\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02"
                                          "\x44\x01\x00\x3b",
                                          35));
    ASSERT_TRUE(solid(8, 8, Qt::green).save(driveC.hostPath("pics/d.png"), "PNG"));
    testing_support::writeFile(driveC.hostPath("pics/broken.jpg"), "\xFF\xD8\xFF\xE0 not really");

    Shown s(100, 100);
    s.control->loadimg("c:\\pics\\A.BMP");
    EXPECT_EQ(s.control->Picture().size(), QSize(40, 30));
    EXPECT_EQ(s.at(50, 50), QColor(Qt::red));
    s.control->loadimg(QString("C:\\pics\\Ωb.jpg"));
    EXPECT_EQ(s.control->Picture().size(), QSize(30, 40));
    s.control->loadimg("C:\\pics\\c.gif");
    EXPECT_EQ(s.control->Picture().size(), QSize(1, 1));

    auto failsWith = [&](const QString& name, int number) {
        try {
            s.control->loadimg(name);
            ADD_FAILURE() << "no error for " << name.toStdString();
        } catch (const win::RuntimeError& e) {
            EXPECT_EQ(e.number(), number) << name.toStdString();
        }
        EXPECT_EQ(s.control->Picture().size(), QSize(1, 1));
    };
    failsWith("C:\\pics\\missing.bmp", win::kErrFileNotFound);
    failsWith("C:\\pics", win::kErrFileNotFound);
    failsWith("C:\\pics\\d.png", forms::kErrInvalidPicture);  // not a format the loader reads
    failsWith("C:\\pics\\broken.jpg", forms::kErrInvalidPicture);
}

TEST(ShowImage, PersistsPictureBorderAndColourOnlyWhenNotDefault) {
    ShowImage a;
    EXPECT_EQ(a.BorderStyle(), 1);
    EXPECT_EQ(a.BackColor(), qint32(0x8000000F));
    forms::PropertyBag empty;
    a.UserControl_WriteProperties(empty);
    EXPECT_TRUE(empty.names().isEmpty());

    QSignalSpy changed(&a, &ShowImage::PropertyChanged);
    a.setBackColor(0x123456);
    a.setPicture(solid(4, 3, Qt::red));
    a.setBorderStyle(0);
    ASSERT_EQ(changed.size(), 3);
    EXPECT_EQ(changed[0][0].toString(), "BackColor");
    EXPECT_EQ(changed[1][0].toString(), "Picture");
    EXPECT_EQ(changed[2][0].toString(), "BorderStyle");

    forms::PropertyBag bag;
    a.UserControl_WriteProperties(bag);
    EXPECT_EQ(bag.names(), QStringList({"Picture", "BorderStyle", "BackColor"}));

    ShowImage b;
    QSignalSpy quiet(&b, &ShowImage::PropertyChanged);
    b.UserControl_ReadProperties(bag);
    EXPECT_EQ(b.BorderStyle(), 0);
    EXPECT_EQ(b.BackColor(), 0x123456);
    EXPECT_EQ(b.Picture(), solid(4, 3, Qt::red));
    EXPECT_TRUE(quiet.isEmpty());

    // Back to the defaults: the bag reads back defaults into a fresh control.
    ShowImage c;
    c.setBorderStyle(0);
    c.UserControl_ReadProperties(forms::PropertyBag());
    EXPECT_EQ(c.BorderStyle(), 1);
    EXPECT_TRUE(c.Picture().isNull());
}

TEST(ShowImage, RaisesTheMouseEventsOfItsPictureBox) {
    Shown s(100, 100);
    QSignalSpy click(s.control, &ShowImage::Click);
    QSignalSpy dbl(s.control, &ShowImage::DblClick);
    QSignalSpy down(s.control, &ShowImage::MouseDown);
    QSignalSpy move(s.control, &ShowImage::MouseMove);
    QWidget* box = s.control->pictureBox();
    QTest::mouseClick(box, Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 20));
    ASSERT_EQ(down.size(), 1);
    EXPECT_EQ(down[0][0].value<short>(), 1);
    EXPECT_EQ(down[0][1].value<short>(), 1);
    EXPECT_FLOAT_EQ(down[0][2].toFloat(), float(10 * forms::App::twipsPerPixelX()));
    EXPECT_FLOAT_EQ(down[0][3].toFloat(), float(20 * forms::App::twipsPerPixelY()));
    EXPECT_EQ(click.size(), 1);
    QTest::mouseMove(box, QPoint(30, 40));
    EXPECT_GE(move.size(), 1);
    QTest::mouseDClick(box, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(dbl.size(), 1);
}
