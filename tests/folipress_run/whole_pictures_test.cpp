// Every picture becomes its page or is refused at once with the reason: good pictures of every
// kind convert, a picture no page can hold is refused before it is decoded while the program and
// its list stay, and a picture whose data ends before the picture does is refused within
// seconds, never made into a page of filled-in pixels.
#include <QElapsedTimer>
#include <QtEndian>

#include "ConversionFixture.h"

using testing_support::readFile;
using testing_support::writeFile;

namespace {

// A number as the picture's bytes hold it: little- or big-endian, 16 or 32 bits.
template <typename T, bool kBig>
QByteArray number(qint64 v) {
    QByteArray b(sizeof(T), '\0');
    if (kBig) qToBigEndian<T>(T(v), b.data());
    else qToLittleEndian<T>(T(v), b.data());
    return b;
}
QByteArray le16(qint64 v) { return number<quint16, false>(v); }
QByteArray le32(qint64 v) { return number<quint32, false>(v); }
QByteArray be16(qint64 v) { return number<quint16, true>(v); }
QByteArray be32(qint64 v) { return number<quint32, true>(v); }

// A Dr. Halo picture as the library reads it: the size, then rows of runs, each row but the
// last ended by a zero and the next row's length.
QByteArray drHalo(int w, int h) {
    QByteArray b = le16(w) + le16(h) + le16(0) + le16(4);
    for (int y = 0; y < h; ++y) {
        b += char(0x80 | (w / 2)) + QByteArray(1, char(60 + y)) + char(0x80 | (w - w / 2)) + char(200);
        if (y < h - 1) b += QByteArray(1, '\0') + le16(4);
    }
    return b;
}

// A Photo CD picture of its base size, 768 x 512: the overview's mark, then pairs of luma rows
// with their chroma, from 0x30000 on.
QByteArray photoCd() {
    QByteArray b(0x800, char(0xFF));
    b += "PCD_IPI";
    b += QByteArray(0x30000 - b.size(), '\0');
    for (int pair = 0; pair < 256; ++pair)
        b += QByteArray(2 * 768, char(pair)) + QByteArray(768, char(128));
    return b;
}

// An 8-bit run-length BMP of w x h whose data is the end-of-bitmap code alone.
QByteArray rleBmp(qint64 w, int h) {
    const int offset = 54 + 1024;
    QByteArray b = "BM" + le32(offset + 2) + le32(0) + le32(offset) + le32(40) + le32(w) + le32(h) +
                   le16(1) + le16(8) + le32(1) + le32(2) + le32(2835) + le32(2835) + le32(256) + le32(0);
    for (int i = 0; i < 256; ++i) b += QByteArray(3, char(i)) + '\0';
    return b + QByteArray("\x00\x01", 2);
}

// Headers of 16384 x 16384 pictures with little or nothing of their data behind them.
QByteArray tgaHeader() {
    return QByteArray("\x00\x00\x02", 3) + QByteArray(9, '\0') + le16(16384) + le16(16384) + QByteArray("\x18\x00", 2) +
           QByteArray(16, 'T');
}
QByteArray gifHeader() {
    return "GIF89a" + le16(16384) + le16(16384) + QByteArray(3, '\0') + "\x2C" + le32(0) + le16(16384) +
           le16(16384) + QByteArray("\x00\x08\x00\x3B", 4);
}
QByteArray pgmHeader() { return "P5\n16384 16384\n255\n" + QByteArray(16, 'P'); }
QByteArray sgiHeader() {
    return (be16(474) + QByteArray("\x00\x01", 2) + be16(3) + be16(16384) + be16(16384) + be16(1)).leftJustified(512, '\0') +
           QByteArray(16, 'S');
}
QByteArray iffHeader() {
    const QByteArray bmhd = be16(16384) + be16(16384) + be32(0) + QByteArray("\x08\x00\x00\x00", 4) + be16(0) + "\x01\x01" +
                            be16(16384) + be16(16384);
    const QByteArray body = QByteArray(4000, '\0');
    const QByteArray chunks = "BMHD" + be32(bmhd.size()) + bmhd + "BODY" + be32(2048LL * 16384 * 8) + body;
    return "FORM" + be32(4 + chunks.size()) + "ILBM" + chunks;
}

struct WholePictures : ConversionFixture {
    static QString tail(const QString& shown) { return shown + "\r\n\r\nNo PDF document was written."; }
    static QString cutOff(const QString& shown) {
        return "This file cannot be converted: it is damaged, cut off before the end of its picture.\r\n" +
               tail(shown);
    }
    static QString fixture(const char* name) {
        return win::fromHostPath(QStringLiteral(LUMIDOC_TEST_DATA "/pictures/") + name);
    }
    // Runs the conversion of the one picture; its message, or "" when it converted. It must not
    // end the program, take over 10 s or leave a document.
    QString refusalOf(const QString& path, const QString& shown) {
        w->List1->clear();
        w->List2->clear();
        ui.shown.clear();
        add(path, shown);
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(convert()) << shown.toStdString();
        EXPECT_LT(clock.elapsed(), 10000) << shown.toStdString();
        if (ui.shown.isEmpty()) {
            QFile::remove(output());
            return QString();
        }
        EXPECT_FALSE(QFileInfo::exists(output())) << shown.toStdString();
        EXPECT_TRUE(w->Command3->isEnabled() && toolbarEnabled());
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
        {file("scan.cut", drHalo(40, 30)), 40, 30},
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
    writeFile(output(), "the user's earlier document");
    const struct {
        QString path;
        const char* size;
    } wide[] = {
        {picture("panorama.png", FIF_PNG, 70000, 200), "70000 x 200"},
        {file("line.bmp", rleBmp(268435456, 1)), "268435456 x 1"},
    };
    const long before = runkit::resetPeakMemory();
    for (const auto& p : wide) {
        w->List1->clear();
        w->List2->clear();
        ui.shown.clear();
        add(picture("fine.png", FIF_PNG, 20, 20));
        add(p.path, "shown as wide");
        EXPECT_FALSE(convert());
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_EQ(ui.shown[0].prompt, QString("This picture is too large to convert: ") + p.size +
                                          " pixels, more than 65500 pixels a side for one page.\r\n" +
                                          tail("shown as wide"));
        EXPECT_EQ(w->List1->count(), 2);
        EXPECT_EQ(w->List2->count(), 2);
        EXPECT_TRUE(w->Command3->isEnabled() && toolbarEnabled());
        EXPECT_EQ(readFile(output()), "the user's earlier document");
    }
    EXPECT_LT(runkit::peakMegabytes() - before, 100);
}

TEST_F(WholePictures, APictureCutOffOrShortOfDataIsRefusedWithinSeconds) {
    // Headers of 16384 x 16384 pictures with nothing, or a little, of their data.
    const struct {
        const char* name;
        QByteArray bytes;
    } headers[] = {{"header.tga", tgaHeader()}, {"header.gif", gifHeader()}, {"header.pgm", pgmHeader()},
                   {"header.sgi", sgiHeader()}, {"header.iff", iffHeader()}};
    for (const auto& h : headers)
        EXPECT_EQ(refusalOf(file(h.name, h.bytes), h.name).toStdString(), cutOff(h.name).toStdString());

    // Whole pictures of each format, cut short at several points.
    const QString whole[] = {
        picture("a.bmp", FIF_BMP, 300, 200),        picture("rle.bmp", FIF_BMP, 300, 200, 8, BMP_SAVE_RLE),
        picture("a.tga", FIF_TARGA, 300, 200),      picture("rle.tga", FIF_TARGA, 300, 200, 24, TARGA_SAVE_RLE),
        picture("a.tif", FIF_TIFF, 300, 200),       picture("a.ppm", FIF_PPMRAW, 300, 200),
        picture("a.ico", FIF_ICO, 64, 64),          picture("a.png", FIF_PNG, 300, 200),
        picture("a.jpg", FIF_JPEG, 300, 200),       picture("a.gif", FIF_GIF, 300, 200),
        picture("a.webp", FIF_WEBP, 300, 200),
        picture("a.j2k", FIF_J2K, 300, 200),        picture("a.jp2", FIF_JP2, 300, 200),
        fixture("scan.sgi"),  fixture("scan.dds"),  fixture("scan.koa"),  fixture("scan.pict"),
        fixture("scan.wbmp"), fixture("scan.xbm"),  fixture("scan.mng"),  fixture("quicktime.pict"),
        fixture("scan.iff"),  fixture("scan.ras"),  fixture("scan.pcx"),
    };
    for (const QString& path : whole) {
        const QByteArray bytes = readFile(win::toHostPath(path));
        const QString name = path.mid(path.lastIndexOf('\\') + 1);
        for (const int percent : {30, 60, 90}) {
            const QString shown = QString("%1 cut at %2%").arg(name).arg(percent);
            const QString message =
                refusalOf(file(QString::number(percent) + name, bytes.left(bytes.size() * percent / 100)), shown);
            EXPECT_TRUE(message == cutOff(shown) ||
                        message == "This file cannot be converted: it is missing, empty, damaged or not a "
                                   "picture.\r\n" + tail(shown))
                << shown.toStdString() << ": " << message.toStdString();
        }
    }
}
