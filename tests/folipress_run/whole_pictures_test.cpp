// Every picture becomes its page or is refused at once with the reason: good pictures of every
// kind convert, a picture no page can hold is refused before it is decoded while the program and
// its list stay, and a picture whose data ends before the picture does is refused within
// seconds, never made into a page of filled-in pixels.
#include <QElapsedTimer>

#include "ConversionFixture.h"

using testing_support::readFile;
using testing_support::writeFile;

namespace {

// Bytes written as hexadecimal digits, spaces between fields.
QByteArray hex(const char* digits) { return QByteArray::fromHex(digits); }

// A Dr. Halo picture of 40 x 30: the size, then rows of two runs, each row but the last ended by
// a zero and the next row's length.
QByteArray drHalo() {
    QByteArray b = hex("2800 1e00 0000 0400");
    for (int y = 0; y < 30; ++y) b += "\x94" + QByteArray(1, char(60 + y)) + "\x94\xc8" + (y < 29 ? hex("00 0400") : "");
    return b;
}

// A Photo CD picture of its base size, 768 x 512: the overview's mark, then pairs of luma rows
// with their chroma, from 0x30000 on.
QByteArray photoCd() {
    QByteArray b = QByteArray(0x800, char(0xFF)) + "PCD_IPI";
    b.resize(0x30000, '\0');
    for (int pair = 0; pair < 256; ++pair) b += QByteArray(2 * 768, char(pair)) + QByteArray(768, char(128));
    return b;
}

struct WholePictures : ConversionFixture {
    static QString tail(const QString& shown) { return shown + "\r\n\r\nNo PDF document was written."; }
    // Converts a fine picture and then this one, over an earlier document; the message, or ""
    // when it converted. It must not end the program, take over 10 s, touch the earlier document
    // or drop the list.
    QString refusalOf(const QString& path, const QString& shown) {
        writeFile(output(), "the user's earlier document");
        w->List1->clear();
        w->List2->clear();
        ui.shown.clear();
        add(picture("fine.png", FIF_PNG, 20, 20));
        add(path, shown);
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(convert()) << shown.toStdString();
        EXPECT_LT(clock.elapsed(), 10000) << shown.toStdString();
        if (ui.shown.isEmpty()) return QString();
        EXPECT_EQ(readFile(output()), "the user's earlier document") << shown.toStdString();
        EXPECT_TRUE(w->List2->count() == 2 && w->Command3->isEnabled() && toolbarEnabled());
        return ui.shown.size() == 1 ? ui.shown[0].prompt : "several messages";
    }
};

}  // namespace

TEST_F(WholePictures, GoodPicturesOfEveryKindConvert) {
    const struct {
        QString path;
        int w, h;
    } good[] = {
        {picture("lossy.webp", FIF_WEBP, 640, 480), 640, 480},
        {picture("full.jpg", FIF_JPEG, 6000, 4000, 24, 90 | JPEG_PROGRESSIVE | JPEG_SUBSAMPLING_444), 6000, 4000},
        {picture("halved.jpg", FIF_JPEG, 8000, 6000, 24, 90 | JPEG_PROGRESSIVE | JPEG_SUBSAMPLING_420), 8000, 6000},
        {file("scan.pcd", photoCd()), 768, 512},
        {file("scan.cut", drHalo()), 40, 30},
    };
    for (const auto& g : good) add(g.path);
    EXPECT_FALSE(convert());
    ASSERT_TRUE(ui.shown.isEmpty()) << ui.shown[0].prompt.toStdString();
    const auto info = runkit::pdfInfo(output());
    ASSERT_EQ(info.value("Pages").toInt(), int(std::size(good)));
    for (int i = 0; i < int(std::size(good)); ++i) {
        const auto [w, h] = runkit::pageSize(info, i + 1);
        EXPECT_NEAR(w, runkit::points(runkit::pageTenths(good[i].w)), 0.02) << i;
        EXPECT_NEAR(h, runkit::points(runkit::pageTenths(good[i].h)), 0.02) << i;
    }
}

TEST_F(WholePictures, APictureWiderThanAPageIsRefusedBeforeItIsDecodedAndTheProgramGoesOn) {
    const struct {
        QString path;
        const char* size;
    } wide[] = {
        {picture("panorama.png", FIF_PNG, 70000, 200), "70000 x 200"},
        // 8-bit run-length coded, its data the end-of-bitmap code alone
        {file("line.bmp", hex("424d 38040000 00000000 36040000 28000000 00000010 01000000 0100 0800 01000000 02000000"
                              "130b0000 130b0000 00010000 00000000") + QByteArray(1024, '\0') + hex("0001")),
         "268435456 x 1"},
    };
    const long before = runkit::resetPeakMemory();
    for (const auto& p : wide)
        EXPECT_EQ(refusalOf(p.path, "shown as wide"), QString("This picture is too large to convert: ") + p.size +
                                                          " pixels, more than 65500 pixels a side for one page.\r\n" +
                                                          tail("shown as wide"));
    EXPECT_LT(runkit::peakMegabytes() - before, 100);
}

TEST_F(WholePictures, APictureCutOffOrShortOfDataIsRefusedWithinSeconds) {
    const auto cutOff = [](const QString& shown) {
        return "This file cannot be converted: it is damaged, cut off before the end of its picture.\r\n" + tail(shown);
    };
    // Headers of 16384 x 16384 pictures with nothing, or a little, of their data.
    const struct {
        const char* name;
        QByteArray bytes;
    } headers[] = {
        {"header.tga", hex("000002 000000000000000000 0040 0040 1800") + QByteArray(16, 'T')},
        {"header.gif", "GIF89a" + hex("0040 0040 000000 2c 00000000 0040 0040 00 08 00 3b")},
        {"header.pgm", "P5\n16384 16384\n255\n" + QByteArray(16, 'P')},
        {"header.sgi", hex("01da 0001 0003 4000 4000 0001").leftJustified(512, '\0') + QByteArray(16, 'S')},
        {"header.iff", "FORM" + hex("00000fc8") + "ILBMBMHD" + hex("00000014 4000 4000 00000000 08000000 0000 0101 4000 4000") +
                           "BODY" + hex("10000000") + QByteArray(4000, '\0')},
    };
    for (const auto& h : headers) EXPECT_EQ(refusalOf(file(h.name, h.bytes), h.name), cutOff(h.name));

    // Whole pictures of each format, cut short at several points.
    const QString whole[] = {
        picture("a.bmp", FIF_BMP, 300, 200),   picture("rle.bmp", FIF_BMP, 300, 200, 8, BMP_SAVE_RLE),
        picture("a.tga", FIF_TARGA, 300, 200), picture("rle.tga", FIF_TARGA, 300, 200, 24, TARGA_SAVE_RLE),
        picture("a.tif", FIF_TIFF, 300, 200),  picture("a.ppm", FIF_PPMRAW, 300, 200),
        picture("a.ico", FIF_ICO, 64, 64),     picture("a.png", FIF_PNG, 300, 200),
        picture("a.jpg", FIF_JPEG, 300, 200),  picture("a.gif", FIF_GIF, 300, 200),
        picture("a.webp", FIF_WEBP, 300, 200), picture("a.j2k", FIF_J2K, 300, 200),
        picture("a.jp2", FIF_JP2, 300, 200),   fixture("scan.sgi"),  fixture("scan.dds"),  fixture("scan.koa"),
        fixture("scan.pict"), fixture("scan.wbmp"), fixture("scan.xbm"), fixture("scan.mng"),
        fixture("quicktime.pict"), fixture("scan.iff"), fixture("scan.ras"), fixture("scan.pcx"),
    };
    for (const QString& path : whole) {
        const QByteArray bytes = readFile(win::toHostPath(path));
        const QString name = path.mid(path.lastIndexOf('\\') + 1);
        for (const int percent : {30, 60, 90}) {
            const QString shown = QString("%1 cut at %2%").arg(name).arg(percent);
            const QString message =
                refusalOf(file(QString::number(percent) + name, bytes.left(bytes.size() * percent / 100)), shown);
            EXPECT_TRUE(message == cutOff(shown) ||
                        message == "This file cannot be converted: it is missing, empty, damaged or not a picture.\r\n" +
                                       tail(shown))
                << shown.toStdString() << ": " << message.toStdString();
        }
    }
}
