// The page renderer on documents the test makes: sizes, passwords, damaged files, TIFF export.

#include <GfxState.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "PipeWatchdog.h"
#include "RecognitionFixture.h"
#include "pdfrender/PageRenderer.h"

using namespace recognition_test;
using testing_support::ScratchDriveC;

namespace {

int progressCalls = 0;
int countProgress(int, int, int) {
    ++progressCalls;
    return 1;
}

}  // namespace

TEST(PageRenderer, OpensAndMeasuresPagesAndForgetsClosedHandles) {
    ScratchDriveC c;
    makePdf(c.hostPath("docs/a.pdf"), {"one", "two", "three"}, QSizeF(612, 792));
    const int h = pdfrender::OpenPDF("C:\\DOCS\\A.PDF", "");  // case-insensitive like the drive
    ASSERT_GT(h, 0);
    EXPECT_EQ(pdfrender::GetPageNum(h), 3);
    EXPECT_EQ(pdfrender::GetPageWidth(h, 1), 612);
    EXPECT_EQ(pdfrender::GetPageHeight(h, 1), 792);
    EXPECT_EQ(pdfrender::GetPageWidth(h, 4), 0);
    EXPECT_EQ(pdfrender::GetPageWidth(h, 0), 0);
    const int h2 = pdfrender::OpenPDF("c:\\docs\\a.pdf", "");
    EXPECT_NE(h, h2);
    pdfrender::ClosePDF(h);
    EXPECT_EQ(pdfrender::GetPageNum(h), 0);
    EXPECT_EQ(pdfrender::GetPageWidth(h, 1), 0);
    EXPECT_EQ(pdfrender::GetPageNum(h2), 3);
    pdfrender::ClosePDF(h2);
    pdfrender::ClosePDF(h2);  // twice is harmless
    EXPECT_EQ(pdfrender::ExportTIF(h2, "c:\\", "", 100, 100, 1, 1, nullptr, 1, 0), -1);
}

TEST(PageRenderer, RefusesMissingDamagedAndLockedDocuments) {
    ScratchDriveC c;
    EXPECT_EQ(pdfrender::OpenPDF("c:\\nothing.pdf", ""), 0);
    EXPECT_EQ(pdfrender::OpenPDF("", ""), 0);
    writeFile(c.hostPath("bad.pdf"), "%PDF-1.4\n1 0 obj << /Type /Catalog >>\ngarbage\n%%EOF\n");
    EXPECT_EQ(pdfrender::OpenPDF("c:\\bad.pdf", ""), 0);
    writeFile(c.hostPath("empty.pdf"), "");
    EXPECT_EQ(pdfrender::OpenPDF("c:\\empty.pdf", ""), 0);

    makePdf(c.hostPath("plain.pdf"), {"secret words"});
    ASSERT_EQ(testing_support::runProgram("pdftk", {c.hostPath("plain.pdf"), "output", c.hostPath("locked.pdf"),
                                          "user_pw", "opensesame", "owner_pw", "owner"}),
              0);
    EXPECT_EQ(pdfrender::OpenPDF("c:\\locked.pdf", ""), 0);
    EXPECT_EQ(pdfrender::OpenPDF("c:\\locked.pdf", "wrong"), 0);
    const int h = pdfrender::OpenPDF("c:\\locked.pdf", "opensesame");
    EXPECT_GT(h, 0);
    EXPECT_EQ(pdfrender::GetPageNum(h), 1);
    pdfrender::ClosePDF(h);
}

TEST(PageRenderer, APipeIsRefusedAtOnceByItsPathOrALinkAndToldAsSuch) {
    ScratchDriveC c;
    const QByteArray fifo = QFile::encodeName(c.hostPath("pipe.pdf"));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(c.hostPath("pipe.pdf"), c.hostPath("link.pdf")));
    for (const char* path : {"c:\\pipe.pdf", "c:\\link.pdf"}) {
        int h = -1;
        QString why;
        EXPECT_TRUE(testing_support::callNeverWaitsOnPipe(fifo.toStdString(), [&] {
            h = pdfrender::OpenPDF(path, "");
            why = pdfrender::OpenFailure(path);
        })) << path;
        EXPECT_EQ(h, 0);
        EXPECT_EQ(why, "it is not a regular file");
    }
    EXPECT_EQ(pdfrender::OpenFailure("c:\\none.pdf"), QString::fromLocal8Bit(std::strerror(ENOENT)));
}

TEST(PageRenderer, ExportsEightBitTiffsAtTheAskedResolutionAndCallsBack) {
    ScratchDriveC c;
    makePdf(c.hostPath("a.pdf"), {"one", "two", "three"}, QSizeF(144, 72));
    QDir().mkpath(c.hostPath("ocrtmp"));
    const int h = pdfrender::OpenPDF("c:\\a.pdf", "");
    ASSERT_GT(h, 0);

    progressCalls = 0;
    EXPECT_EQ(pdfrender::ExportTIF(h, "c:\\OCRtmp\\", "", 150, 150, 2, 3, countProgress,
                                   pdfrender::kTifGrey, pdfrender::kTifUncompressed),
              2);
    EXPECT_GE(progressCalls, 4);
    EXPECT_FALSE(QFile::exists(c.hostPath("ocrtmp/0001.tif")));
    const TiffInfo grey = readTiff(c.hostPath("ocrtmp/0002.tif"));
    ASSERT_TRUE(grey.ok);
    EXPECT_EQ(grey.bits, 8);
    EXPECT_EQ(grey.samples, 1);
    EXPECT_FLOAT_EQ(grey.xres, 150);
    EXPECT_FLOAT_EQ(grey.yres, 150);
    EXPECT_EQ(grey.width, 300u);  // 144 pt at 150 dpi
    EXPECT_EQ(grey.height, 150u);
    EXPECT_TRUE(readTiff(c.hostPath("ocrtmp/0003.tif")).ok);

    // RGB, compressed, with a prefix; pages outside the document are skipped.
    EXPECT_EQ(pdfrender::ExportTIF(h, "c:\\ocrtmp\\", "r", 72, 96, 3, 5, nullptr,
                                   pdfrender::kTifRgb, pdfrender::kTifDeflate),
              1);
    const TiffInfo rgb = readTiff(c.hostPath("ocrtmp/r0003.tif"));
    ASSERT_TRUE(rgb.ok);
    EXPECT_EQ(rgb.bits, 8);
    EXPECT_EQ(rgb.samples, 3);
    EXPECT_EQ(rgb.width, 144u);
    EXPECT_EQ(rgb.height, 96u);
    EXPECT_FALSE(QFile::exists(c.hostPath("ocrtmp/r0004.tif")));

    // Five-digit page numbers keep all their digits; a missing folder writes nothing.
    EXPECT_EQ(pdfrender::tifFileName("", 7), "0007.tif");
    EXPECT_EQ(pdfrender::tifFileName("", 12345), "12345.tif");
    EXPECT_EQ(pdfrender::ExportTIF(h, "c:\\nofolder\\", "", 72, 72, 1, 1, nullptr, 1, 0), 0);
    EXPECT_EQ(pdfrender::ExportTIF(h, "c:\\ocrtmp\\", "", 0, 72, 1, 1, nullptr, 1, 0), -1);
    pdfrender::ClosePDF(h);
}

TEST(PageRenderer, BandsJoinIntoOneWholePage) {
    ScratchDriveC c;
    // Top half black, bottom half white, a black bar down the right edge: any lost, doubled or
    // shifted band shows in the rows.
    const QString pdf = c.hostPath("bands.pdf");
    {
        QPdfWriter writer(pdf);
        writer.setResolution(72);
        writer.setPageSize(QPageSize(QSizeF(200, 400), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        painter.fillRect(QRectF(0, 0, 200, 200), Qt::black);
        painter.fillRect(QRectF(180, 200, 20, 200), Qt::black);
    }
    QDir().mkpath(c.hostPath("ocrtmp"));
    const int h = pdfrender::OpenPDF("c:\\bands.pdf", "");
    ASSERT_GT(h, 0);
    for (int round = 0; round < 2; ++round) {  // the second export reuses the band documents
        ASSERT_EQ(pdfrender::ExportTIF(h, "c:\\ocrtmp\\", "", 300, 300, 1, 1, nullptr,
                                       pdfrender::kTifGrey, pdfrender::kTifUncompressed), 1);
        TIFF* t = TIFFOpen(QFile::encodeName(c.hostPath("ocrtmp/0001.tif")).constData(), "r");
        ASSERT_NE(t, nullptr);
        uint32_t w = 0, rows = 0;
        TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(t, TIFFTAG_IMAGELENGTH, &rows);
        ASSERT_EQ(w, 833u);  // 200 pt at 300 dpi
        ASSERT_EQ(rows, 1667u);
        std::vector<uchar> line(w);
        int badRows = 0;
        for (uint32_t y = 0; y < rows; ++y) {
            ASSERT_EQ(TIFFReadScanline(t, line.data(), y, 0), 1);
            const bool top = y < rows / 2 - 2, bottom = y > rows / 2 + 2;
            if (top && (line[10] > 20 || line[w / 2] > 20)) ++badRows;
            if (bottom && (line[10] < 235 || line[w / 2] < 235 || line[w - 5] > 20)) ++badRows;
        }
        TIFFClose(t);
        EXPECT_EQ(badRows, 0);
    }
    pdfrender::ClosePDF(h);
}

// Poppler fills its shared colour profiles (static pointers) in the first graphics state it
// makes, without a lock; band threads making their first states at once freed one twice (about
// one first page in fifty). They must exist before the first band thread starts. Meaningful in
// a fresh process, as the test runner runs each test.
bool profileReadyAtFirstCallback = false;
bool firstCallbackSeen = false;
int noteProfile(int, int, int) {
    if (!firstCallbackSeen) profileReadyAtFirstCallback = GfxState::sRGBProfile != nullptr;
    firstCallbackSeen = true;
    return 1;
}

TEST(PageRenderer, PopplersSharedColourProfilesExistBeforeBandThreadsStart) {
    ScratchDriveC c;
    makePdf(c.hostPath("docs/first.pdf"), {"first page"}, QSizeF(300, 400));
    QDir().mkpath(c.hostPath("ocrtmp"));
    const int h = pdfrender::OpenPDF("c:\\docs\\first.pdf", "");
    ASSERT_GT(h, 0);
    EXPECT_EQ(pdfrender::ExportTIF(h, "c:\\ocrtmp\\", "", 300, 300, 1, 1, noteProfile,
                                   pdfrender::kTifGrey, pdfrender::kTifUncompressed), 1);
    EXPECT_TRUE(firstCallbackSeen);
    EXPECT_TRUE(profileReadyAtFirstCallback);
    pdfrender::ClosePDF(h);
}

TEST(PageRenderer, PasswordsBeyondAsciiUnlockOldAndNewEncryption) {
    // The run hands the password over in the 8-bit code page; AES-256 documents want UTF-8.
    ScratchDriveC c;
    makePdf(c.hostPath("plain.pdf"), {"secret words"});
    QDir().mkpath(c.hostPath("ocrtmp"));
    const QString password = QString::fromUtf8("pässwort");
    for (int bits : {256, 128}) {
        QStringList args{"--encrypt", password, "owner-" + password, QString::number(bits)};
        if (bits != 256) args = QStringList{"--allow-weak-crypto"} + args + QStringList{"--use-aes=n"};
        const QString name = QString("locked%1.pdf").arg(bits);
        ASSERT_EQ(testing_support::runProgram("qpdf", args + QStringList{"--", c.hostPath("plain.pdf"),
                                                               c.hostPath(name)}), 0);
        EXPECT_EQ(pdfrender::OpenPDF("c:\\" + name, "passwort"), 0) << bits;
        const int h = pdfrender::OpenPDF("c:\\" + name, password);
        ASSERT_GT(h, 0) << bits;
        EXPECT_EQ(pdfrender::ExportTIF(h, "c:\\ocrtmp\\", QString::number(bits), 72, 72, 1, 1,
                                       nullptr, pdfrender::kTifGrey, pdfrender::kTifUncompressed),
                  1) << bits;
        pdfrender::ClosePDF(h);
    }
}

TEST(PageRenderer, APageTooLargeForTheEngineIsNotExported) {
    // Page 1 is Letter-sized, so the run asks for 300 dpi; page 2's box of 200 inches a side
    // would make an image of 60000 pixels a side, which the engine cannot read.
    ScratchDriveC c;
    const QString pdf = c.hostPath("huge.pdf");
    {
        QPdfWriter writer(pdf);
        writer.setResolution(72);
        writer.setPageSize(QPageSize(QSizeF(612, 792), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        painter.drawText(QPointF(20, 40), "small");
        writer.setPageSize(QPageSize(QSizeF(14400, 14400), QPageSize::Point));
        writer.newPage();
        painter.drawText(QPointF(20, 40), "huge");
    }
    QDir().mkpath(c.hostPath("ocrtmp"));
    const int h = pdfrender::OpenPDF("c:\\huge.pdf", "");
    ASSERT_GT(h, 0);
    ASSERT_EQ(pdfrender::GetPageWidth(h, 2), 14400);
    pdfrender::ExportFailure why;
    EXPECT_EQ(pdfrender::ExportTIF(h, "c:\\ocrtmp\\", "", 300, 300, 1, 2, nullptr,
                                   pdfrender::kTifGrey, pdfrender::kTifUncompressed, &why), 1);
    EXPECT_TRUE(readTiff(c.hostPath("ocrtmp/0001.tif")).ok);
    EXPECT_FALSE(QFile::exists(c.hostPath("ocrtmp/0002.tif")));
    EXPECT_EQ(why.kind, pdfrender::ExportFailure::TooLarge);
    EXPECT_EQ(why.page, 2);
    EXPECT_EQ(why.detail, "60000 x 60000 pixels at 300 x 300 dpi");
    pdfrender::ClosePDF(h);
}
