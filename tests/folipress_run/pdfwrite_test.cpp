// The PDF-writing box library: properties, pages, the embedded JPEG, text, and its failures.
#include <QProcess>

#include "RunKit.h"
#include "pdfwrite/PageImage.h"
#include "pdfwrite/PdfBox.h"

using namespace pdfbox;
using testing_support::readFile;
using testing_support::ScratchDriveC;

namespace {

std::string lastError() {
    char buffer[255];
    GetErrorMsg(buffer, sizeof buffer);
    return buffer;
}

struct PdfBoxTest : ::testing::Test {
    ScratchDriveC driveC;
    int32_t box = CreateBox(0, 0);
    PdfBoxTest() {
        QDir().mkpath(driveC.hostPath("out"));
        runkit::makePicture(driveC.hostPath("tmp/pic.bmp"), FIF_BMP, 120, 80);
    }
    ~PdfBoxTest() override { FreeBox(box); }

    // A one-page document of the picture, filling a page of w x h in the current unit.
    int32_t writePage(const char* out, int32_t w, int32_t h) {
        if (SetStrProp(box, kOutputFile, out) < 0 || SetNumProp(box, kPageWidth, w) < 0 ||
            SetNumProp(box, kPageHeight, h) < 0 || BeginDoc(box) < 0 ||
            StretchDrawFromFile(box, 0, 0, w, h, "c:\\tmp\\pic.bmp") < 0) {
            return -1;
        }
        return EndDoc(box);
    }
};

// The bytes of the first stream whose dictionary names the filter.
QByteArray streamWith(const QByteArray& pdf, const QByteArray& filter) {
    const int f = pdf.indexOf("/Filter [ /" + filter + " ]");
    if (f < 0) return {};
    int start = pdf.indexOf("stream", f);
    if (start < 0) return {};
    start += 6;
    if (pdf[start] == '\r') ++start;
    if (pdf[start] == '\n') ++start;
    const int end = pdf.indexOf("endstream", start);
    QByteArray body = pdf.mid(start, end - start);
    while (body.endsWith('\n') || body.endsWith('\r')) body.chop(1);
    return body;
}

}  // namespace

TEST_F(PdfBoxTest, WritesOnePageOfTheBoxSizeWithTheCreator) {
    ASSERT_GT(box, 0);
    EXPECT_EQ(SetNumProp(box, kUnit, kTenthMillimetres), 0);
    EXPECT_EQ(SetStrProp(box, kCreator, "Lumidoc - Scanned Image To PDF"), 0);
    ASSERT_EQ(writePage("c:\\out\\a.pdf", 2100, 2970), 0) << lastError();
    const auto info = runkit::pdfInfo(driveC.hostPath("out/a.pdf"));
    EXPECT_EQ(info.value("Pages"), "1");
    EXPECT_EQ(info.value("Creator"), "Lumidoc - Scanned Image To PDF");
    const auto [w, h] = runkit::pageSize(info, 1);
    EXPECT_NEAR(w, runkit::points(2100), 0.01);
    EXPECT_NEAR(h, runkit::points(2970), 0.01);

    // Millimetres and points as units; the file is replaced.
    SetNumProp(box, kUnit, kMillimetres);
    ASSERT_EQ(writePage("c:\\out\\a.pdf", 100, 50), 0) << lastError();
    auto size = runkit::pageSize(runkit::pdfInfo(driveC.hostPath("out/a.pdf")), 1);
    EXPECT_NEAR(size.first, 100 * 72 / 25.4, 0.01);
    EXPECT_NEAR(size.second, 50 * 72 / 25.4, 0.01);
    SetNumProp(box, kUnit, kPoints);
    ASSERT_EQ(writePage("c:\\out\\a.pdf", 300, 200), 0) << lastError();
    size = runkit::pageSize(runkit::pdfInfo(driveC.hostPath("out/a.pdf")), 1);
    EXPECT_NEAR(size.first, 300, 0.01);
    EXPECT_NEAR(size.second, 200, 0.01);
}

TEST_F(PdfBoxTest, ThePictureIsEmbeddedAsTheJpegOfTheBoxQuality) {
    std::string why;
    FIBITMAP* rgb = loadRgb24(driveC.hostPath("tmp/pic.bmp").toStdString(), why);
    ASSERT_TRUE(rgb) << why;
    std::vector<unsigned char> q20, q95;
    ASSERT_TRUE(encodeJpeg(rgb, 20, q20, why));
    ASSERT_TRUE(encodeJpeg(rgb, 95, q95, why));
    FreeImage_Unload(rgb);
    EXPECT_LT(q20.size(), q95.size());

    SetNumProp(box, kJpegQuality, 20);
    ASSERT_EQ(writePage("c:\\out\\q.pdf", 300, 200), 0) << lastError();
    const QByteArray pdf = readFile(driveC.hostPath("out/q.pdf"));
    EXPECT_EQ(streamWith(pdf, "DCTDecode"), QByteArray(reinterpret_cast<const char*>(q20.data()), int(q20.size())));
    EXPECT_TRUE(pdf.contains("/Width 120"));
    EXPECT_TRUE(pdf.contains("/Height 80"));

    SetNumProp(box, kJpegQuality, 95);
    ASSERT_EQ(writePage("c:\\out\\q.pdf", 300, 200), 0) << lastError();
    EXPECT_EQ(streamWith(readFile(driveC.hostPath("out/q.pdf")), "DCTDecode"),
              QByteArray(reinterpret_cast<const char*>(q95.data()), int(q95.size())));
}

TEST_F(PdfBoxTest, LosslessPicturesAndCompressedStreams) {
    SetNumProp(box, kPictureCompression, kPictureFlate);
    SetNumProp(box, kStreamCompression, 2);
    ASSERT_EQ(writePage("c:\\out\\f.pdf", 300, 200), 0) << lastError();
    QByteArray pdf = readFile(driveC.hostPath("out/f.pdf"));
    EXPECT_FALSE(pdf.contains("/DCTDecode"));
    EXPECT_TRUE(pdf.contains("/FlateDecode"));
    EXPECT_EQ(runkit::pdfInfo(driveC.hostPath("out/f.pdf")).value("Pages"), "1");

    SetNumProp(box, kPictureCompression, kPictureNone);
    SetNumProp(box, kStreamCompression, 0);
    ASSERT_EQ(writePage("c:\\out\\n.pdf", 300, 200), 0) << lastError();
    pdf = readFile(driveC.hostPath("out/n.pdf"));
    EXPECT_FALSE(pdf.contains("/FlateDecode"));
    EXPECT_GT(pdf.size(), 120 * 80 * 3);  // the raw pixels
}

TEST_F(PdfBoxTest, TextOutWritesTheLine) {
    SetStrProp(box, kOutputFile, "c:\\out\\t.pdf");
    ASSERT_EQ(BeginDoc(box), 0);
    SetNumProp(box, kFontSize, 20);
    SetNumProp(box, kTextBold, 1);
    SetNumProp(box, kTextColor, 0xFF0000);
    ASSERT_EQ(TextOut(box, 200, 100, "Quarterly report \xE9t\xE9"), 0) << lastError();
    ASSERT_EQ(EndDoc(box), 0) << lastError();
    QProcess p;
    p.start("pdftotext", {driveC.hostPath("out/t.pdf"), "-"});
    p.waitForFinished(20000);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).contains(QString::fromUtf8("Quarterly report été")));
}

TEST_F(PdfBoxTest, PropertyAndOrderFailuresGiveTheirReasons) {
    EXPECT_EQ(SetNumProp(box, 99, 1), -1);
    EXPECT_EQ(lastError(), "Unknown number property 99");
    EXPECT_EQ(SetStrProp(box, 99, "x"), -1);
    EXPECT_EQ(lastError(), "Unknown text property 99");
    EXPECT_EQ(SetNumProp(box, kJpegQuality, 101), -1);
    EXPECT_EQ(lastError(), "The JPEG quality (property 45) must be 0 to 100, not 101");
    EXPECT_EQ(SetNumProp(box, kUnit, 3), -1);
    EXPECT_EQ(SetNumProp(box, kPageWidth, 0), -1);
    EXPECT_EQ(lastError(), "The page width (property 36) must be above 0, not 0");
    EXPECT_EQ(SetNumProp(box, kPictureCompression, -1), -1);
    EXPECT_EQ(SetNumProp(12345, kUnit, 0), -1);
    EXPECT_EQ(lastError(), "Invalid box handle 12345");

    EXPECT_EQ(StretchDrawFromFile(box, 0, 0, 10, 10, "c:\\tmp\\pic.bmp"), -1);
    EXPECT_EQ(lastError(), "StretchDrawFromFile needs BeginDoc first");
    EXPECT_EQ(EndDoc(box), -1);
    ASSERT_EQ(BeginDoc(box), 0);
    EXPECT_EQ(BeginDoc(box), -1);
    EXPECT_EQ(lastError(), "BeginDoc was called again before EndDoc");
    EXPECT_EQ(EndDoc(box), -1);
    EXPECT_EQ(lastError(), "No output file was set (property 10)");

    // A page beyond the PDF limit.
    SetNumProp(box, kPageWidth, 20000);
    EXPECT_EQ(BeginDoc(box), -1);
    EXPECT_EQ(lastError(), "The page size 20000.0 x 842.0 points is beyond the PDF limit of 14400 points a side");

    // The error text is cut to the buffer and always ends in NUL.
    char small[8];
    EXPECT_EQ(GetErrorMsg(small, sizeof small), 7);
    EXPECT_STREQ(small, "The pag");
    EXPECT_EQ(GetErrorMsg(nullptr, 10), -1);
}

TEST_F(PdfBoxTest, OutputNamesAreCheckedUnlessDeferred) {
    EXPECT_EQ(SetStrProp(box, kOutputFile, "c:\\missing\\0.pdf"), -1);
    EXPECT_EQ(lastError(), "The folder of the output file \"c:\\missing\\0.pdf\" does not exist");
    EXPECT_EQ(SetNumProp(box, kDeferNameCheck, 1), 0);
    EXPECT_EQ(SetStrProp(box, kOutputFile, "c:\\missing\\0.pdf"), 0);
    EXPECT_EQ(SetNumProp(box, kDeferNameCheck, 0), -1);
    EXPECT_EQ(SetNumProp(box, kDeferNameCheck, 1), 0);
    EXPECT_EQ(SetStrProp(box, kOutputFile, "c:\\out\\0.pdf"), 0);
    EXPECT_EQ(SetNumProp(box, kDeferNameCheck, 0), 0);
    EXPECT_EQ(SetStrProp(box, kOutputFile, "c:\\out"), -1);
    EXPECT_EQ(lastError(), "The output file \"c:\\out\" is a folder");
}

TEST_F(PdfBoxTest, UnreadablePicturesAndUnwritableFilesFail) {
    testing_support::writeFile(driveC.hostPath("tmp/text.bmp"), "not a picture at all");
    testing_support::writeFile(driveC.hostPath("tmp/empty.bmp"), "");
    SetStrProp(box, kOutputFile, "c:\\out\\x.pdf");
    ASSERT_EQ(BeginDoc(box), 0);
    EXPECT_EQ(StretchDrawFromFile(box, 0, 0, 100, 100, "c:\\tmp\\nothing.bmp"), -1);
    EXPECT_EQ(lastError(), "The picture file does not exist: \"c:\\tmp\\nothing.bmp\"");
    EXPECT_EQ(StretchDrawFromFile(box, 0, 0, 100, 100, "c:\\tmp\\text.bmp"), -1);
    EXPECT_EQ(lastError(), "The picture file cannot be read: \"c:\\tmp\\text.bmp\"");
    EXPECT_EQ(StretchDrawFromFile(box, 0, 0, 100, 100, "c:\\tmp\\empty.bmp"), -1);
    EXPECT_EQ(StretchDrawFromFile(box, 0, 0, 0, 100, "c:\\tmp\\pic.bmp"), -1);

    // A folder takes the output file's name between the name check and the writing.
    QDir().mkpath(driveC.hostPath("out/x.pdf"));
    EXPECT_EQ(EndDoc(box), -1);
    EXPECT_EQ(lastError().rfind("Cannot write the output file \"c:\\out\\x.pdf\": ", 0), 0u) << lastError();
    EXPECT_TRUE(QFileInfo(driveC.hostPath("out/x.pdf")).isDir());

    // A freed box is gone.
    EXPECT_EQ(FreeBox(box), 0);
    EXPECT_EQ(FreeBox(box), -1);
    box = CreateBox(0, 0);
}

TEST(PageImage, SixteenBitPalettedAndTransparentPicturesBecomeTwentyFourBits) {
    QTemporaryDir dir;
    const QString deep = dir.path() + "/deep.png";
    const QString pal = dir.path() + "/pal.gif";
    ASSERT_TRUE(runkit::makePicture(deep, FIF_PNG, 30, 20, 48));
    ASSERT_TRUE(runkit::makePicture(pal, FIF_GIF, 30, 20, 8));
    std::string why;
    for (const QString& p : {deep, pal}) {
        FIBITMAP* rgb = loadRgb24(p.toStdString(), why);
        ASSERT_TRUE(rgb) << why;
        EXPECT_EQ(FreeImage_GetBPP(rgb), 24u);
        EXPECT_EQ(FreeImage_GetWidth(rgb), 30u);
        FreeImage_Unload(rgb);
    }
    // Transparent pixels come out white.
    FIBITMAP* rgba = FreeImage_Allocate(4, 4, 32);
    const QString clear = dir.path() + "/clear.png";
    FreeImage_Save(FIF_PNG, rgba, clear.toLocal8Bit().constData(), 0);
    FreeImage_Unload(rgba);
    FIBITMAP* rgb = loadRgb24(clear.toStdString(), why);
    ASSERT_TRUE(rgb);
    RGBQUAD px;
    FreeImage_GetPixelColor(rgb, 1, 1, &px);
    EXPECT_EQ(px.rgbRed, 255);
    EXPECT_EQ(px.rgbBlue, 255);
    FreeImage_Unload(rgb);
}
